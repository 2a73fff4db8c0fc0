#pragma once

#include <QString>

#include <deque>

// Where a find query occurs in the shown lines of the Logs tab. Lines are named by a sequence
// number that grows with every line shown, so that cutting lines from the front renumbers
// nothing. Matches never overlap and are kept in text order; one of them is current while any
// exist. Case is ignored.
class LogMatches
{
public:
    struct Match
    {
        qint64 line = 0; // sequence number of the line
        int start = 0;
        int length = 0;
    };

    const QString& query() const { return query_; }
    bool active() const { return !query_.isEmpty(); }
    qsizetype count() const { return qsizetype(matches_.size()); }
    // The index of the current match, or -1 when there is none.
    qsizetype current() const { return current_; }
    const Match& at(qsizetype index) const { return matches_[size_t(index)]; }
    // The index of the first match in `line` or after it; count() when there is none.
    qsizetype firstFrom(qint64 line) const;

    // Searches every line anew (`lines[i]` has the sequence number `firstLine + i`); the
    // current match becomes the first at or after `fromLine`, wrapping to the first of all.
    template <typename Lines>
    void search(const QString& query, const Lines& lines, qint64 firstLine, qint64 fromLine)
    {
        query_ = query;
        matches_.clear();
        current_ = -1;
        if (query_.isEmpty())
            return;
        qint64 line = firstLine;
        for (const auto& text : lines)
            find(textOf(text), line++);
        selectFrom(fromLine);
    }
    // Adds the matches of a line appended at the end.
    void append(const QString& text, qint64 line);
    // Forgets the matches of every line before `firstKeptLine`; the current match stays the
    // same one, or becomes the first left when it was cut.
    void dropBefore(qint64 firstKeptLine);
    void clear();

    // Moves to the next or previous match, wrapping around.
    void next();
    void previous();

private:
    static const QString& textOf(const QString& text) { return text; }
    template <typename Row> static const QString& textOf(const Row& row) { return row.shown; }
    void find(const QString& text, qint64 line);
    void selectFrom(qint64 line);

    QString query_;
    std::deque<Match> matches_;
    qsizetype current_ = -1;
};
