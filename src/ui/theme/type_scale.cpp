#include "ui/theme/type_scale.h"

#include <QApplication>
#include <QFontDatabase>

namespace {

QFont sized(int pixels, QFont::Weight weight)
{
    QFont font = QApplication::font();
    font.setPixelSize(pixels);
    font.setWeight(weight);
    return font;
}

} // namespace

namespace TypeScale {

QFont projectTitle()
{
    return sized(26, QFont::DemiBold);
}

QFont emptyStateTitle()
{
    return sized(20, QFont::DemiBold);
}

QFont heading()
{
    return sized(15, QFont::DemiBold);
}

QFont body()
{
    return sized(13, QFont::Normal);
}

QFont bodyMedium()
{
    return sized(13, QFont::Medium);
}

QFont caption()
{
    return sized(12, QFont::Normal);
}

QFont captionMedium()
{
    return sized(12, QFont::Medium);
}

QFont monospaced()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(12);
    return font;
}

QFont sectionHeader()
{
    QFont font = sized(11, QFont::DemiBold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.6);
    return font;
}

} // namespace TypeScale
