#include "ui/theme/palette.h"

namespace {

QColor hex(const char* text)
{
    return QColor(QString::fromLatin1(text));
}

} // namespace

Palette Palette::forScheme(Scheme scheme)
{
    const bool dark = scheme == Scheme::dark;
    // Each pair reads dark / light.
    const auto pick = [dark](const char* darkHex, const char* lightHex) {
        return hex(dark ? darkHex : lightHex);
    };
    Palette p;
    p.windowBackground = pick("#0A0A0A", "#FFFDF9");
    p.sidebarBackground = pick("#0F0F0F", "#F8F3E8");
    p.logBackground = pick("#101010", "#FBF7EE");
    p.cardBackground = pick("#1A1A1A", "#FFFFFF");
    p.nodeBackground = pick("#202020", "#FFFFFF");
    p.border = pick("#2A2A2A", "#EFE6D2");
    p.subtleFill = pick("#222222", "#F6EEDC");
    p.primaryText = pick("#F9FAFB", "#111827");
    p.secondaryText = pick("#9CA3AF", "#6B7280");
    p.tertiaryText = pick("#6B7280", "#9CA3AF");
    p.error = pick("#FF6B6B", "#B00020");
    p.accent = hex("#FF3253");
    p.running = hex("#10B981");
    p.starting = hex("#F59E0B");
    p.worker = hex("#F6821F");
    return p;
}

QColor Palette::withAlpha(QColor color, double opacity)
{
    color.setAlphaF(static_cast<float>(opacity));
    return color;
}
