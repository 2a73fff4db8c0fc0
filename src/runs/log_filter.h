#pragma once

#include "runs/log_buffer.h"

#include <QList>
#include <QLocale>
#include <QString>

// The Logs view's filter: a line passes when its text contains the filter, ignoring case under
// the user's locale. The filter is not trimmed; an empty one passes every line. With
// `problemsOnly`, only errors and warnings pass too (runs/log_line_kind.h), each followed by
// the stack frames under it, so that a failed request stays with its stack.
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
    // One line, with `afterProblem` carried as in `visible`.
    bool passes(const QString& line, bool& afterProblem) const;

private:
    QString text_;
    bool problemsOnly_ = false;
    QLocale locale_;
    QString folded_;
};
