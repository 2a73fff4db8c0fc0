#pragma once

#include <QList>
#include <QString>

// One line of a child's output (or of the application's own notices) on its way into a log.
struct OutputLine
{
    QString text;
    bool isError = false; // from standard error, or an error notice of the application

    friend bool operator==(const OutputLine&, const OutputLine&) = default;
};

Q_DECLARE_TYPEINFO(OutputLine, Q_RELOCATABLE_TYPE);

using OutputLines = QList<OutputLine>;
