#include "supervision/log_buffer.h"

#include <QHashFunctions>

size_t qHash(const LogLine& line, size_t seed) noexcept
{
    return qHashMulti(seed, line.id, line.text, line.isError);
}

void LogBuffer::append(const QString& text, bool isError)
{
    lines_.append(LogLine{nextID_, text, isError});
    ++nextID_;
    if (lines_.size() > trimThreshold)
        lines_.remove(0, lines_.size() - trimmedSize);
    emit linesChanged();
}

void LogBuffer::clear()
{
    if (lines_.isEmpty())
        return;
    lines_.clear();
    emit linesChanged();
}
