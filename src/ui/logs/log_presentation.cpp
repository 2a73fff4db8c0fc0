#include "ui/logs/log_presentation.h"

#include "base/product_name.h"
#include "runs/log_line_kind.h"
#include "ui/theme/palette.h"

LogLineStyle LogLineStyle::of(const QString& text)
{
    using C = Color;
    using W = Weight;
    switch (logLineKind(text)) {
    case LogLineKind::stackFrame: return {C::secondary, W::regular};
    case LogLineKind::announcement: return {C::accent, W::semibold};
    case LogLineKind::aside: return {C::secondary, W::medium};
    case LogLineKind::error: return {C::error, W::regular};
    case LogLineKind::warning: return {C::warning, W::regular};
    case LogLineKind::ready: return {C::success, W::regular};
    case LogLineKind::plain: break;
    }
    return {C::primary, W::regular};
}

bool LogLineStyle::isStackFrame(const QString& text)
{
    return logLineKind(text) == LogLineKind::stackFrame;
}

QColor LogLineStyle::colorOf(Color color, const Palette& palette)
{
    switch (color) {
    case Color::secondary: return palette.secondaryText;
    case Color::accent: return palette.accent;
    case Color::error: return palette.error;
    case Color::warning: return palette.starting;
    case Color::success: return palette.running;
    case Color::primary: return Palette::withAlpha(palette.primaryText, 0.88);
    }
    return palette.primaryText;
}

LogsContent logsContent(bool external, qsizetype totalLines, qsizetype visibleLines)
{
    if (external && totalLines == 0)
        return LogsContent::unavailable;
    if (visibleLines > 0)
        return LogsContent::lines;
    if (totalLines > 0)
        return LogsContent::noMatches;
    return LogsContent::noOutput;
}

LogsEmptyState logsEmptyState(LogsContent content, const QString& filter)
{
    switch (content) {
    case LogsContent::unavailable:
        return {QStringLiteral("terminal"), QStringLiteral("Logs unavailable"),
                QStringLiteral("This project was started outside ") + Product::name +
                    QStringLiteral(", so its output can't be captured. Stop it and start it "
                                   "from here to see logs.")};
    case LogsContent::noMatches:
        return {QStringLiteral("scroll-text"), QStringLiteral("No matches"),
                QStringLiteral("Nothing matches “") + filter + QStringLiteral("”.")};
    case LogsContent::lines:
    case LogsContent::noOutput: break;
    }
    return {QStringLiteral("scroll-text"), QStringLiteral("No output yet"),
            QStringLiteral("Start the project to see its output here.")};
}

QString joinedText(const QList<LogLine>& lines)
{
    QStringList texts;
    texts.reserve(lines.size());
    for (const LogLine& line : lines)
        texts.append(line.text);
    return texts.join(QLatin1Char('\n'));
}

QString copyText(const QString& selection, const QList<LogLine>& visible)
{
    return selection.isEmpty() ? joinedText(visible) : selection;
}

QString logFileName(const QString& displayName, const QDateTime& localTime)
{
    QString name = displayName;
    name.replace(QLatin1Char('/'), QLatin1Char('-'));
    return name + QLatin1Char(' ') + localTime.toString(QStringLiteral("yyyy-MM-dd HH.mm.ss")) +
           QStringLiteral(".log");
}
