#include "ui/logs/log_presentation.h"

#include "base/product_name.h"
#include "ui/theme/palette.h"

namespace {

bool containsAny(const QString& text, std::initializer_list<QStringView> needles)
{
    for (const QStringView needle : needles)
        if (text.contains(needle))
            return true;
    return false;
}

} // namespace

LogLineStyle LogLineStyle::of(const QString& text)
{
    using C = Color;
    using W = Weight;
    // A stack frame ("    at handler (src/index.ts:3:9)") stays quiet even when it names an
    // error.
    if (isStackFrame(text))
        return {C::secondary, W::regular};
    if (text.startsWith(u'▶'))
        return {C::accent, W::semibold};
    if (text.startsWith(u'■') || text.startsWith(u'↪'))
        return {C::secondary, W::medium};
    const QString lower = text.toLower();
    if (containsAny(lower, {u"error", u"✖", u"failed", u"exception"}))
        return {C::error, W::regular};
    if (lower.contains(u"warn"))
        return {C::warning, W::regular};
    if (containsAny(lower, {u"ready on", u"listening", u"local "}))
        return {C::success, W::regular};
    return {C::primary, W::regular};
}

bool LogLineStyle::isStackFrame(const QString& text)
{
    return QStringView(text).trimmed().startsWith(u"at ");
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

LogFilter::LogFilter(const QString& text, bool problemsOnly, const QLocale& locale)
    : text_(text), problemsOnly_(problemsOnly), locale_(locale), folded_(locale.toLower(text))
{}

bool LogFilter::matches(const QString& line) const
{
    if (folded_.isEmpty())
        return true;
    return locale_.toLower(line).contains(folded_);
}

QList<LogLine> LogFilter::visible(const QList<LogLine>& lines, bool* afterProblem) const
{
    if (isEmpty())
        return lines;
    bool after = afterProblem && *afterProblem;
    QList<LogLine> shown;
    for (const LogLine& line : lines) {
        bool keep = false;
        if (!problemsOnly_)
            keep = matches(line.text);
        else if (LogLineStyle::isStackFrame(line.text))
            keep = after; // a frame goes with the problem above it, whatever the text filter
        else
            keep = LogLineStyle::of(line.text).isProblem() && matches(line.text);
        after = problemsOnly_ && keep;
        if (keep)
            shown.append(line);
    }
    if (afterProblem)
        *afterProblem = after;
    return shown;
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
