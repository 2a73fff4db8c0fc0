#pragma once

#include "runs/log_buffer.h"
#include "ui/logs/log_matches.h"
#include "ui/logs/log_presentation.h"
#include "ui/theme/palette.h"

#include <QHash>
#include <QPlainTextEdit>
#include <QTextCharFormat>

#include <deque>
#include <optional>

class QTimer;

// The read-only, selectable text of the Logs tab: one block per shown line, each coloured by
// its content, 2 points apart. It is filled incrementally: lines added at the end are appended
// in one edit, the oldest lines are cut from the front by whole blocks, and the text is built
// anew only when the caller says so (another scheme, another filter, a cleared log). Very long
// lines are shown shortened. It also holds the find bar's matches, highlighted where they are
// in view, and a scroll bar that shows only while the reader scrolls.
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

    qsizetype lineCount() const { return qsizetype(rows_.size()); }
    std::optional<qint64> lastID() const;

    // Follow keeps the end in view. Scrolling away from the end pauses it and coming back to
    // the end resumes it; turning it on scrolls to the end at once.
    void setFollow(bool follow);
    bool follow() const { return follow_; }
    bool followPaused() const { return paused_; }
    void resumeFollow();

    // The selection as plain text with line feeds, a shortened line as a whole; empty without
    // a selection.
    QString selectedLogText() const;

    // Find: every occurrence of the query in the shown lines, ignoring case.
    void setFindQuery(const QString& query);
    void findNext();
    void findPrevious();
    const LogMatches& matches() const { return matches_; }
    // The current match as a cursor over it; a null cursor without one.
    QTextCursor currentMatch() const;

    bool scrollBarRevealed() const { return barRevealed_; }

    static constexpr int inset = 14;
    static constexpr qreal lineSpacing = 2;
    static constexpr int scrollBarLinger = 900; // ms the scroll bar stays after scrolling
    // Characters of one line the text shows; the rest is left out with a note. Laying out a
    // long line costs far more than its length (a 64 KiB line without spaces takes about half a
    // second), and the whole line stays in the log for Copy and Save.
    static constexpr qsizetype maxLineChars = 2000;

signals:
    void followPausedChanged(bool paused);
    // The query, the matches or the current one changed.
    void matchesChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // One shown line: its id, the text of its block, and the whole text when that is shortened.
    struct Row
    {
        qint64 id = 0;
        QString shown;
        QString full;
    };

    void appendLines(QTextCursor& cursor, const QList<LogLine>& lines);
    const QTextCharFormat& formatFor(const LogLineStyle& style);
    void scrollToEndIfFollowing();
    void readerScrolled();
    void setPaused(bool paused);
    void keepSelection(int anchor, int position);
    void revealCurrentMatch();
    void highlightMatches();
    void revealScrollBar(bool revealed);
    void styleScrollBar();

    Palette palette_;
    QHash<int, QTextCharFormat> formats_; // by style, for the current palette
    std::deque<Row> rows_;                // one per block, in order
    qint64 firstLine_ = 0;                // the sequence number of the first block
    LogMatches matches_;
    bool follow_ = true;
    bool paused_ = false;
    bool barRevealed_ = false;
    QTimer* barTimer_;
};
