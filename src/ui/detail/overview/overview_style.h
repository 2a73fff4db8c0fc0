#pragma once

#include <QColor>
#include <QString>

class QWidget;
struct BindingItem;
struct Palette;

// Small drawing helpers shared by the Overview's parts.
namespace OverviewStyle {

// "rgba(r,g,b,a)" for style sheets.
QString css(const QColor& color);
// A rounded card: `fill` with a one-pixel border of the palette's border colour. Applies to the
// widget's object name only, so children keep their own look.
void styleCard(QWidget* card, const QColor& fill, const Palette& palette);

// The colour of a binding item: its kind's colour, or the secondary text colour.
QColor itemColor(const BindingItem& item, const Palette& palette);

// "connected" or "not connected" for an item that reaches another Worker; empty otherwise.
QString connectionText(const BindingItem& item);
// Its colour: the running colour when connected, the tertiary text colour when not.
QColor connectionColor(const BindingItem& item, const Palette& palette);

} // namespace OverviewStyle
