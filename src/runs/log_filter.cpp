#include "runs/log_filter.h"

#include "runs/log_line_kind.h"

LogFilter::LogFilter(const QString& text, bool problemsOnly, const QLocale& locale)
    : text_(text), problemsOnly_(problemsOnly), locale_(locale), folded_(locale.toLower(text))
{}

bool LogFilter::matches(const QString& line) const
{
    if (folded_.isEmpty())
        return true;
    return locale_.toLower(line).contains(folded_);
}

bool LogFilter::passes(const QString& line, bool& afterProblem) const
{
    bool keep = false;
    if (!problemsOnly_) {
        keep = matches(line);
    } else {
        const LogLineKind kind = logLineKind(line);
        if (kind == LogLineKind::stackFrame)
            keep = afterProblem; // a frame goes with the problem above it, whatever the text
        else
            keep = isProblem(kind) && matches(line);
    }
    afterProblem = problemsOnly_ && keep;
    return keep;
}

QList<LogLine> LogFilter::visible(const QList<LogLine>& lines, bool* afterProblem) const
{
    if (isEmpty())
        return lines;
    bool after = afterProblem && *afterProblem;
    QList<LogLine> shown;
    for (const LogLine& line : lines)
        if (passes(line.text, after))
            shown.append(line);
    if (afterProblem)
        *afterProblem = after;
    return shown;
}
