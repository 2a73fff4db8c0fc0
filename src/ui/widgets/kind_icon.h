#pragma once

#include <QColor>
#include <QList>
#include <QPixmap>
#include <QString>

struct KindBadge;
struct ProjectInfo;

// The one icon that stands for what a project is: the logo of the first of its badges that has
// one (an EmDash site built with Astro shows the Astro logo), else the line icon of its first
// badge. Exactly one of the two names is set.
struct KindIcon
{
    QString brand;  // a BrandLogo name
    QString lucide; // a Lucide name

    friend bool operator==(const KindIcon&, const KindIcon&) = default;
};

KindIcon kindIcon(const ProjectInfo* info);
// The same choice among badges already listed; the worker's icon for none.
KindIcon kindIcon(const QList<KindBadge>& badges);
// One badge's own icon: its logo when the application has it, else its line icon.
KindIcon badgeIcon(const KindBadge& badge);

// The icon in one colour at `size` device-independent pixels; null for an empty icon.
QPixmap kindPixmap(const KindIcon& icon, const QColor& color, int size,
                   qreal devicePixelRatio = 1.0);
