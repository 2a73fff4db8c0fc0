#include "ui/widgets/kind_icon.h"

#include "discovery/kind_badge.h"
#include "ui/widgets/lucide.h"

KindIcon badgeIcon(const KindBadge& badge)
{
    if (BrandLogo::exists(badge.brand))
        return {badge.brand, {}};
    return {{}, badge.fallback};
}

KindIcon kindIcon(const QList<KindBadge>& badges)
{
    for (const KindBadge& badge : badges)
        if (BrandLogo::exists(badge.brand))
            return {badge.brand, {}};
    return badgeIcon(badges.isEmpty() ? workerBadge() : badges.first());
}

KindIcon kindIcon(const ProjectInfo* info)
{
    return kindIcon(kindBadges(info));
}

QPixmap kindPixmap(const KindIcon& icon, const QColor& color, int size, qreal devicePixelRatio)
{
    if (!icon.brand.isEmpty())
        return BrandLogo::pixmap(icon.brand, color, size, devicePixelRatio);
    return Lucide::pixmap(icon.lucide, color, size, devicePixelRatio);
}
