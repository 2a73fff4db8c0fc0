#pragma once

#include "supervision/output_line.h"

#include <QList>
#include <QObject>
#include <QString>

// One captured line. Ids are unique within their buffer and increase in order of arrival.
struct LogLine
{
    qint64 id = 0;
    QString text;
    bool isError = false; // from standard error, or an error notice of the application

    friend bool operator==(const LogLine&, const LogLine&) = default;
};

Q_DECLARE_TYPEINFO(LogLine, Q_RELOCATABLE_TYPE);

size_t qHash(const LogLine& line, size_t seed = 0) noexcept;

// The bounded output of one project. It swings between 5,000 and 5,500 lines: a busy server
// costs one removal from the front per 500 appends, not one per append. Its text is also bounded
// by bytes, so that long lines (up to the line splitter's 64 KiB each) cannot make a few
// thousand lines hold hundreds of megabytes; ordinary logs never come near that budget.
class LogBuffer : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype trimThreshold = 5500;
    static constexpr qsizetype trimmedSize = 5000;
    // Text held at most, counted as stored (two bytes per UTF-16 unit). The newest line is kept
    // even when it alone is larger.
    static constexpr qsizetype maxTextBytes = qsizetype(8) * 1024 * 1024;

    using QObject::QObject;

    const QList<LogLine>& lines() const { return lines_; }
    qint64 nextID() const { return nextID_; }
    qsizetype textBytes() const { return textBytes_; }
    // The lines whose id is greater than `id`, oldest first.
    QList<LogLine> linesAfter(qint64 id) const;

    void append(const QString& text, bool isError);
    // Adds the lines in order with one notification; an empty batch changes nothing.
    void append(const OutputLines& batch);
    // Empties the buffer; ids continue where they were so that they never repeat.
    void clear();

    static qsizetype textBytes(const QString& text)
    {
        return text.size() * qsizetype(sizeof(QChar));
    }

signals:
    // Lines were added at the end (the first of them has `firstNewID`) and every line before
    // `firstKeptID` is gone from the front. Either may lie beyond the other when a batch
    // outgrows the bounds: then some of the new lines are gone too.
    void linesAppended(qint64 firstNewID, qint64 firstKeptID);
    void cleared();
    // Any change of `lines`: after `linesAppended` and after `cleared`.
    void linesChanged();

private:
    void trim();

    QList<LogLine> lines_;
    qint64 nextID_ = 0;
    qsizetype textBytes_ = 0;
};
