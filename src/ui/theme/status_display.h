#pragma once

#include "runs/project_status.h"
#include "ui/theme/palette.h"

#include <QColor>
#include <QString>

// How a project status is shown: the sidebar dot, the header chip and the accessible names.
struct StatusDisplay
{
    QColor dotColor;
    bool pulses = false; // the running dot carries a pulsing halo
    QString chipLabel;
    QString chipIcon;
    QColor chipColor;
    QString accessibilityLabel;
};

StatusDisplay statusDisplay(const ProjectStatus& status, const Palette& palette);

// The colour of a memory figure: green below 400 MiB, amber below 800 MiB, red from 800 MiB.
QColor memoryColor(quint64 bytes, const Palette& palette);
// The byte count in the desktop's memory style ("184.6 MB", binary multiples).
QString formatMemory(quint64 bytes);
