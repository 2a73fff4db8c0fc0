#include "runs/log_filter.h"

LogFilter::LogFilter(const QString& text, const QLocale& locale)
    : text_(text), locale_(locale), folded_(locale.toLower(text))
{}

bool LogFilter::matches(const QString& line) const
{
    if (folded_.isEmpty())
        return true;
    return locale_.toLower(line).contains(folded_);
}

QList<LogLine> LogFilter::visible(const QList<LogLine>& lines) const
{
    if (isEmpty())
        return lines;
    QList<LogLine> shown;
    for (const LogLine& line : lines)
        if (matches(line.text))
            shown.append(line);
    return shown;
}
