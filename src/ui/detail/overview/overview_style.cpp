#include "ui/detail/overview/overview_style.h"

#include "presentation/binding_items.h"
#include "ui/theme/palette.h"

#include <QWidget>

namespace OverviewStyle {

QString css(const QColor& c)
{
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg(c.red())
        .arg(c.green())
        .arg(c.blue())
        .arg(c.alphaF(), 0, 'f', 3);
}

void styleCard(QWidget* card, const QColor& fill, const Palette& palette)
{
    card->setStyleSheet(QStringLiteral("#%1 { background: %2; border: 1px solid %3;"
                                       " border-radius: 10px; }")
                            .arg(card->objectName(), css(fill), css(palette.border)));
}

QColor itemColor(const BindingItem& item, const Palette& palette)
{
    return item.color.isEmpty() ? palette.secondaryText : QColor(item.color);
}

QString connectionText(const BindingItem& item)
{
    if (!item.connected)
        return {};
    return *item.connected ? QStringLiteral("connected") : QStringLiteral("not connected");
}

QColor connectionColor(const BindingItem& item, const Palette& palette)
{
    return item.connected.value_or(false) ? palette.running : palette.tertiaryText;
}

} // namespace OverviewStyle
