#pragma once

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

size_t qHash(const LogLine& line, size_t seed = 0) noexcept;

// The bounded output of one project. It swings between 5,000 and 5,500 lines: a busy server
// costs one removal from the front per 500 appends, not one per append.
class LogBuffer : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype trimThreshold = 5500;
    static constexpr qsizetype trimmedSize = 5000;

    using QObject::QObject;

    const QList<LogLine>& lines() const { return lines_; }
    qint64 nextID() const { return nextID_; }

    void append(const QString& text, bool isError);
    // Empties the buffer; ids continue where they were so that they never repeat.
    void clear();

signals:
    void linesChanged();

private:
    QList<LogLine> lines_;
    qint64 nextID_ = 0;
};
