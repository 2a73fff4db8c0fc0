#pragma once

#include "runs/log_buffer.h"

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>

struct Palette;

// How the Logs tab shows a line, judged by its text alone (whether it came from standard error
// plays no part): the first rule that matches wins.
struct LogLineStyle
{
    enum class Color { secondary, accent, error, warning, success, primary };
    enum class Weight { regular, medium, semibold };

    Color color = Color::primary;
    Weight weight = Weight::regular;

    static LogLineStyle of(const QString& text);
    // A stack frame: the trimmed line starts with "at ".
    static bool isStackFrame(const QString& text);
    // Drawn as an error or a warning.
    bool isProblem() const { return color == Color::error || color == Color::warning; }
    // The colour in the palette of the effective appearance (ordinary lines: primary text at
    // 88 %).
    static QColor colorOf(Color color, const Palette& palette);

    friend bool operator==(const LogLineStyle&, const LogLineStyle&) = default;
};

// The Logs tab's filter: a line is visible when its text contains the filter, ignoring case
// under the user's locale. The filter is not trimmed; an empty one shows every line. With
// `problemsOnly`, only the lines drawn as errors or warnings pass too, each followed by the stack
// frames under it, so that a failed request stays with its stack.
class LogFilter
{
public:
    explicit LogFilter(const QString& text = QString(), bool problemsOnly = false,
                       const QLocale& locale = QLocale());

    const QString& text() const { return text_; }
    bool problemsOnly() const { return problemsOnly_; }
    bool isEmpty() const { return text_.isEmpty() && !problemsOnly_; }
    // Whether the text passes the text part of the filter.
    bool matches(const QString& line) const;
    // The lines that pass, in order. `afterProblem` carries, from one batch to the next,
    // whether the last line looked at was a shown problem or one of its frames.
    QList<LogLine> visible(const QList<LogLine>& lines, bool* afterProblem = nullptr) const;

private:
    QString text_;
    bool problemsOnly_ = false;
    QLocale locale_;
    QString folded_;
};

// What the Logs tab shows, in order of precedence.
enum class LogsContent {
    unavailable, // a server started elsewhere whose log holds nothing
    lines,       // the text of the visible lines
    noMatches,   // lines, but none passes the filter
    noOutput,
};

LogsContent logsContent(bool external, qsizetype totalLines, qsizetype visibleLines);

// The icon, title and text of an empty content.
struct LogsEmptyState
{
    QString icon;
    QString title;
    QString text;
};

LogsEmptyState logsEmptyState(LogsContent content, const QString& filter);

// The text of one line per visible line, joined by line feeds: what "Copy" takes without a
// selection and what "Save…" writes.
QString joinedText(const QList<LogLine>& lines);

// "Copy": the selection when there is one, else every visible line.
QString copyText(const QString& selection, const QList<LogLine>& visible);

// The file name "Save…" proposes: the project's display name and the local date and time.
QString logFileName(const QString& displayName, const QDateTime& localTime);
