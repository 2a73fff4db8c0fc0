#pragma once

#include "ui/theme/palette.h"

#include <QPalette>

#include <functional>

class QWidget;
class Theme;

// Keeps widgets in the theme's colours. Each binding applies at once and again on every scheme
// change, for as long as the widget lives (the widget is the connection's context), so a view
// binds its children once where it builds them and needs no colour code of its own.
namespace ThemeBinder {

// One colour of the theme's palette, e.g. &Palette::secondaryText.
using PaletteColor = QColor Palette::*;

// Sets `role` of `widget`'s palette (in `group`, all groups by default) to `color`.
void bindColor(QWidget* widget, QPalette::ColorRole role, Theme& theme, PaletteColor color,
               QPalette::ColorGroup group = QPalette::All);

// The text colour of a label, or anything drawn in QPalette::WindowText.
inline void bindTextColor(QWidget* widget, Theme& theme, PaletteColor color)
{
    bindColor(widget, QPalette::WindowText, theme, color);
}

// Any other use of the palette (an icon's tint, a button style): `apply` runs with the current
// palette now and on every change while `widget` lives.
void bind(QWidget* widget, Theme& theme, std::function<void(const Palette&)> apply);

} // namespace ThemeBinder
