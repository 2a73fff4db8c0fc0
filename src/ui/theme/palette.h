#pragma once

#include <QColor>

// The two appearances the interface is drawn in.
enum class Scheme { light, dark };

// Every colour role of the interface for one appearance. Views never spell a colour
// themselves; they ask the palette of the effective appearance.
struct Palette
{
    QColor windowBackground;
    QColor sidebarBackground;
    QColor logBackground; // also warning cards
    QColor cardBackground;
    QColor nodeBackground;
    QColor border;
    QColor subtleFill;
    QColor primaryText;
    QColor secondaryText;
    QColor tertiaryText;
    QColor error;
    QColor accent;
    QColor running;  // also success
    QColor starting; // also warning
    QColor worker;

    QColor selectedRowFill() const { return withAlpha(primaryText, 0.13); }
    QColor hoveredRowFill() const { return withAlpha(primaryText, 0.045); }

    static Palette forScheme(Scheme scheme);
    static QColor withAlpha(QColor color, double opacity);
};
