#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <ostream>

// Readable GoogleTest failure messages for common Qt values.
inline void PrintTo(const QString& value, std::ostream* out)
{
    *out << '"' << value.toStdString() << '"';
}

inline void PrintTo(const QStringList& value, std::ostream* out)
{
    *out << '[';
    for (qsizetype i = 0; i < value.size(); ++i)
        *out << (i ? ", \"" : "\"") << value.at(i).toStdString() << '"';
    *out << ']';
}

inline void PrintTo(const QUrl& value, std::ostream* out)
{
    *out << value.toString().toStdString();
}
