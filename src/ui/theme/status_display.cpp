#include "ui/theme/status_display.h"

#include <QLocale>

StatusDisplay statusDisplay(const ProjectStatus& status, const Palette& p)
{
    StatusDisplay d;
    switch (status.kind()) {
    case ProjectStatus::Kind::stopped:
        d.dotColor = Palette::withAlpha(p.tertiaryText, 0.6);
        d.chipLabel = QStringLiteral("Stopped");
        d.chipIcon = QStringLiteral("power");
        d.chipColor = p.secondaryText;
        d.accessibilityLabel = QStringLiteral("Stopped");
        break;
    case ProjectStatus::Kind::starting:
        d.dotColor = p.starting;
        d.chipLabel = QStringLiteral("Starting");
        d.chipIcon = QStringLiteral("clock");
        d.chipColor = p.starting;
        d.accessibilityLabel = QStringLiteral("Starting…");
        break;
    case ProjectStatus::Kind::running:
        d.dotColor = p.running;
        d.pulses = true;
        d.chipLabel = QStringLiteral("Running");
        d.chipIcon = QStringLiteral("zap");
        d.chipColor = p.running;
        d.accessibilityLabel = QStringLiteral("Running");
        break;
    case ProjectStatus::Kind::error:
        d.dotColor = p.error;
        d.chipLabel = QStringLiteral("Error");
        d.chipIcon = QStringLiteral("triangle-alert");
        d.chipColor = p.error;
        d.accessibilityLabel = QStringLiteral("Error: ") + status.message();
        break;
    }
    return d;
}

QColor memoryColor(quint64 bytes, const Palette& palette)
{
    constexpr quint64 mebibyte = 1048576;
    if (bytes < 400 * mebibyte)
        return palette.running;
    if (bytes < 800 * mebibyte)
        return palette.starting;
    return palette.error;
}

QString formatMemory(quint64 bytes)
{
    return QLocale().formattedDataSize(qint64(bytes), 1, QLocale::DataSizeTraditionalFormat);
}
