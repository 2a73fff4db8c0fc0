#include "ui/logs/log_matches.h"

#include <algorithm>

void LogMatches::find(const QString& text, qint64 line)
{
    const int length = int(query_.size());
    for (qsizetype at = text.indexOf(query_, 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(query_, at + length, Qt::CaseInsensitive))
        matches_.push_back({line, int(at), length});
}

qsizetype LogMatches::firstFrom(qint64 line) const
{
    const auto it = std::lower_bound(matches_.cbegin(), matches_.cend(), line,
                                     [](const Match& m, qint64 l) { return m.line < l; });
    return qsizetype(it - matches_.cbegin());
}

void LogMatches::selectFrom(qint64 line)
{
    if (matches_.empty()) {
        current_ = -1;
        return;
    }
    const qsizetype index = firstFrom(line);
    current_ = index < count() ? index : 0;
}

void LogMatches::append(const QString& text, qint64 line)
{
    if (query_.isEmpty())
        return;
    const bool hadNone = matches_.empty();
    find(text, line);
    if (hadNone && !matches_.empty())
        current_ = 0;
}

void LogMatches::dropBefore(qint64 firstKeptLine)
{
    const qsizetype gone = firstFrom(firstKeptLine);
    if (gone == 0)
        return;
    matches_.erase(matches_.begin(), matches_.begin() + gone);
    if (matches_.empty())
        current_ = -1;
    else
        current_ = std::max<qsizetype>(0, current_ - gone);
}

void LogMatches::clear()
{
    matches_.clear();
    current_ = -1;
}

void LogMatches::next()
{
    if (!matches_.empty())
        current_ = (current_ + 1) % count();
}

void LogMatches::previous()
{
    if (!matches_.empty())
        current_ = (current_ - 1 + count()) % count();
}
