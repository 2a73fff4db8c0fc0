#include "ui/theme/theme_binder.h"

#include "ui/theme/theme.h"

#include <QWidget>

namespace ThemeBinder {

void bindColor(QWidget* widget, QPalette::ColorRole role, Theme& theme, PaletteColor color,
               QPalette::ColorGroup group)
{
    bind(widget, theme, [widget, role, color, group](const Palette& palette) {
        QPalette pal = widget->palette();
        pal.setColor(group, role, palette.*color);
        widget->setPalette(pal);
    });
}

void bind(QWidget* widget, Theme& theme, std::function<void(const Palette&)> apply)
{
    apply(theme.palette());
    Theme* source = &theme;
    QObject::connect(source, &Theme::schemeChanged, widget,
                     [source, apply = std::move(apply)] { apply(source->palette()); });
}

} // namespace ThemeBinder
