#pragma once

#include "runs/log_buffer.h"
#include "ui/logs/log_presentation.h"
#include "ui/theme/palette.h"

#include <QHash>
#include <QPlainTextEdit>
#include <QTextCharFormat>

#include <deque>
#include <optional>

// The read-only, selectable text of the Logs tab: one block per shown line, each coloured by
// its content. It is filled incrementally: lines added at the end are appended in one edit,
// the oldest lines are cut from the front by whole blocks, and the text is built anew only
// when the caller says so (another scheme, another filter, a cleared log). Very long lines are
// shown shortened.
class LogTextView : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit LogTextView(QWidget* parent = nullptr);

    // Colours for the next rebuild; the caller rebuilds afterwards.
    void applyPalette(const Palette& palette);
    // Replaces the text by `lines`.
    void rebuild(const QList<LogLine>& lines);
    // Appends `added` and drops the shown lines whose id is below `firstKeptID`, in one edit.
    void update(const QList<LogLine>& added, qint64 firstKeptID);

    qsizetype lineCount() const { return qsizetype(ids_.size()); }
    std::optional<qint64> lastID() const;
    // With follow on, every update ends scrolled to the end; turning it on scrolls at once.
    void setFollow(bool follow);
    bool follow() const { return follow_; }
    // The selection as plain text with line feeds; empty without a selection.
    QString selectedLogText() const;

    static constexpr int inset = 14;
    // Characters of one line the text shows; the rest is left out with a note. Laying out a
    // long line costs far more than its length (a 64 KiB line without spaces takes about half a
    // second), and the whole line stays in the log for Copy and Save.
    static constexpr qsizetype maxLineChars = 2000;

private:
    void appendLines(QTextCursor& cursor, const QList<LogLine>& lines);
    const QTextCharFormat& formatFor(const LogLineStyle& style);
    void scrollToEndIfFollowing();
    void keepSelection(int anchor, int position);

    Palette palette_;
    QTextBlockFormat
        blockFormat_; // the plain-text layout ignores line spacing; lines keep the font's
    QHash<int, QTextCharFormat> formats_; // by style, for the current palette
    std::deque<qint64> ids_;              // the id of each block, in order
    bool follow_ = true;
};
