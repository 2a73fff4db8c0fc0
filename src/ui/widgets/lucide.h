#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

// Lucide icons from the application's resources (":/icons/lucide-NAME.svg"), drawn as template
// images: every stroke and fill written as "currentColor" takes the colour asked for.
namespace Lucide {

// Whether the resources hold the icon.
bool exists(const QString& name);

// The icon at `size` device-independent pixels in `color`; a null pixmap for an unknown name.
// Rendered pixmaps are cached by name, colour, size and pixel ratio.
QPixmap pixmap(const QString& name, const QColor& color, int size, qreal devicePixelRatio = 1.0);

// The same as a QIcon for buttons and menus (normal and disabled colours).
QIcon icon(const QString& name, const QColor& color, int size = 16,
           const QColor& disabledColor = QColor());

} // namespace Lucide

// Framework and product logos (":/icons/brand-NAME.svg", from Simple Icons), single-colour
// shapes drawn as template images in the colour asked for, as the Lucide icons are.
namespace BrandLogo {

bool exists(const QString& name);
QPixmap pixmap(const QString& name, const QColor& color, int size, qreal devicePixelRatio = 1.0);

} // namespace BrandLogo
