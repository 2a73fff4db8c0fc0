#include "runs/log_buffer.h"

#include <QHashFunctions>

#include <algorithm>

size_t qHash(const LogLine& line, size_t seed) noexcept
{
    return qHashMulti(seed, line.id, line.text, line.isError);
}

QList<LogLine> LogBuffer::linesAfter(qint64 id) const
{
    const auto first =
        std::upper_bound(lines_.cbegin(), lines_.cend(), id,
                         [](qint64 value, const LogLine& line) { return value < line.id; });
    return QList<LogLine>(first, lines_.cend());
}

void LogBuffer::append(const QString& text, bool isError)
{
    append(OutputLines{OutputLine{text, isError}});
}

void LogBuffer::append(const OutputLines& batch)
{
    if (batch.isEmpty())
        return;
    const qint64 firstNewID = nextID_;
    for (const OutputLine& line : batch) {
        lines_.append(LogLine{nextID_++, line.text, line.isError});
        textBytes_ += textBytes(line.text);
    }
    trim();
    emit linesAppended(firstNewID, lines_.first().id);
    emit linesChanged();
}

void LogBuffer::trim()
{
    qsizetype drop = lines_.size() > trimThreshold ? lines_.size() - trimmedSize : 0;
    qsizetype bytes = textBytes_;
    for (qsizetype i = 0; i < drop; ++i)
        bytes -= textBytes(lines_.at(i).text);
    // Past the byte budget the oldest lines go until the rest fits, the newest always stays.
    while (bytes > maxTextBytes && drop < lines_.size() - 1)
        bytes -= textBytes(lines_.at(drop++).text);
    if (drop == 0)
        return;
    // The kept lines move to the front of the same storage: removing from the front would only
    // move the list's start, and the free room it leaves behind would make the next appends
    // grow the storage to twice the bound instead of reusing it.
    std::move(lines_.begin() + drop, lines_.end(), lines_.begin());
    lines_.erase(lines_.end() - drop, lines_.end());
    textBytes_ = bytes;
}

void LogBuffer::clear()
{
    if (lines_.isEmpty())
        return;
    lines_.clear();
    textBytes_ = 0;
    emit cleared();
    emit linesChanged();
}
