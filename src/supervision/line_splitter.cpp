#include "supervision/line_splitter.h"

#include <QRegularExpression>

namespace {

const QRegularExpression& ansiEscape()
{
    // Control sequences, operating-system commands, character-set selection, keypad mode.
    static const QRegularExpression pattern = [] {
        QRegularExpression re(QStringLiteral("\\x1B\\[[0-9;?]*[ -/]*[@-~]"
                                             "|\\x1B\\][^\\x07\\x1B]*(?:\\x07|\\x1B\\\\)"
                                             "|\\x1B[()][A-Za-z0-9]"
                                             "|\\x1B[=>]"));
        re.optimize();
        return re;
    }();
    return pattern;
}

// Start of the last byte that begins a UTF-8 sequence at or before `end`, so that a line cut at
// the cap never splits a character. Gives `end` when no such start is near.
qsizetype utf8Boundary(const QByteArray& bytes, qsizetype end)
{
    for (qsizetype i = end; i > end - 4 && i > 0; --i) {
        if ((static_cast<unsigned char>(bytes.at(i)) & 0xC0) != 0x80)
            return i;
    }
    return end;
}

} // namespace

QStringList LineSplitter::feed(QByteArrayView bytes)
{
    QStringList lines;
    feed(bytes, lines);
    return lines;
}

void LineSplitter::feed(QByteArrayView bytes, QStringList& lines)
{
    qsizetype start = 0;
    for (;;) {
        const qsizetype feedAt = bytes.indexOf('\n', start);
        if (feedAt < 0)
            break;
        const QByteArrayView piece = bytes.sliced(start, feedAt - start);
        if (pending_.isEmpty()) {
            lines.append(cleanLine(piece));
        } else {
            pending_.append(piece);
            lines.append(cleanLine(pending_));
            pending_.clear();
        }
        start = feedAt + 1;
    }
    if (start < bytes.size()) {
        pending_.append(bytes.sliced(start));
        bound(lines);
    }
}

void LineSplitter::bound(QStringList& lines)
{
    // Everything before the last non-empty carriage-return piece would be dropped by
    // cleanLine anyway. Trailing carriage returns collapse to one: a following line feed must
    // still see "text\r" as the text before the carriage return.
    if (pending_.contains('\r')) {
        qsizetype end = pending_.size();
        while (end > 0 && pending_.at(end - 1) == '\r')
            --end;
        const qsizetype lastBreak = end > 0 ? pending_.lastIndexOf('\r', end - 1) : -1;
        const bool trailing = end < pending_.size();
        if (lastBreak >= 0 || pending_.size() - end > 1) {
            QByteArray kept = pending_.mid(lastBreak + 1, end - lastBreak - 1);
            if (trailing)
                kept.append('\r');
            pending_ = kept;
        }
    }
    while (pending_.size() > maxLineBytes) {
        const qsizetype cut = utf8Boundary(pending_, maxLineBytes);
        lines.append(cleanLine(QByteArrayView(pending_).first(cut)));
        pending_.remove(0, cut);
    }
}

std::optional<QString> LineSplitter::flush()
{
    if (pending_.isEmpty())
        return std::nullopt;
    QString line = cleanLine(pending_);
    pending_.clear();
    return line;
}

QString LineSplitter::cleanLine(QByteArrayView bytes)
{
    QString text = QString::fromUtf8(bytes);
    if (text.contains(QLatin1Char('\r'))) {
        const QStringList pieces = text.split(QLatin1Char('\r'), Qt::SkipEmptyParts);
        text = pieces.isEmpty() ? QString() : pieces.last();
    }
    if (text.contains(QChar(0x1B)))
        text.remove(ansiEscape());
    return text;
}
