#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

// Cuts one output stream into lines. Memory stays bounded on output that never sends a line
// feed: while waiting, only the text after the last carriage return is kept (the cleaned line
// is the same), and a line longer than `maxLineBytes` is delivered in pieces of that size as
// if a line feed had come. Nothing is lost.
class LineSplitter
{
public:
    static constexpr qsizetype maxLineBytes = qsizetype(64) * 1024;

    // The complete lines in `bytes` (and in what was pending before), in order.
    QStringList feed(QByteArrayView bytes);
    // Appends the complete lines to `lines` instead of returning them.
    void feed(QByteArrayView bytes, QStringList& lines);
    // The unterminated rest as a last line, or nothing.
    std::optional<QString> flush();

    // Bytes held back, waiting for a line feed.
    qsizetype pendingSize() const { return pending_.size(); }

    // Decodes a line (invalid UTF-8 becomes U+FFFD), keeps only the last carriage-return
    // redraw and removes ANSI escape sequences. Leading and trailing blanks stay.
    static QString cleanLine(QByteArrayView bytes);

private:
    void bound(QStringList& lines);

    QByteArray pending_;
};
