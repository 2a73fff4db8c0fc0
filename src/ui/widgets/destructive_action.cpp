#include "ui/widgets/destructive_action.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

namespace {

const char* const colourProperty = "destructiveColour";

// Paints a menu's marked entries with their colour; every other entry as the base style does.
class DestructiveMenuStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        const auto* menu = qobject_cast<const QMenu*>(widget);
        if (element != CE_MenuItem || !item || !menu || (item->state & State_Selected)) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        // The option carries the entry's text with its shortcut after a tab.
        const QString text = item->text.section(u'\t', 0, 0);
        for (const QAction* action : menu->actions()) {
            if (action->text() != text || !isDestructive(action))
                continue;
            QStyleOptionMenuItem coloured(*item);
            const QColor colour = action->property(colourProperty).value<QColor>();
            for (const auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
                coloured.palette.setColor(role, colour);
            QProxyStyle::drawControl(element, &coloured, painter, widget);
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
};

} // namespace

void markDestructive(QMenu* menu, QAction* action, const QColor& colour)
{
    action->setProperty(colourProperty, colour);
    if (!dynamic_cast<DestructiveMenuStyle*>(menu->style())) {
        // The proxy wraps a style of its own: a proxy takes ownership of its base style.
        auto* style = new DestructiveMenuStyle(menu->style()->name());
        style->setParent(menu);
        menu->setStyle(style);
    }
}

bool isDestructive(const QAction* action)
{
    return action->property(colourProperty).isValid();
}
