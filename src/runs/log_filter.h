#pragma once

#include "runs/log_buffer.h"

#include <QList>
#include <QLocale>
#include <QString>

// The Logs view's filter: a line passes when its text contains the filter, ignoring case
// under the user's locale. The filter is not trimmed; an empty one passes every line.
class LogFilter
{
public:
    explicit LogFilter(const QString& text = QString(), const QLocale& locale = QLocale());

    const QString& text() const { return text_; }
    bool isEmpty() const { return text_.isEmpty(); }
    bool matches(const QString& line) const;
    QList<LogLine> visible(const QList<LogLine>& lines) const;

private:
    QString text_;
    QLocale locale_;
    QString folded_;
};
