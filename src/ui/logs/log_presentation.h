#pragma once

#include "runs/log_buffer.h"
#include "runs/log_filter.h"

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>

struct Palette;

// How the Logs tab shows a line: the style of its kind (runs/log_line_kind.h).
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
