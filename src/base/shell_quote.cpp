#include "base/shell_quote.h"

QString shellDoubleQuoted(const QString& text)
{
    QString quoted;
    quoted.reserve(text.size() + 2);
    quoted.append(u'"');
    for (const QChar c : text) {
        if (c == u'\\' || c == u'"' || c == u'$' || c == u'`')
            quoted.append(u'\\');
        quoted.append(c);
    }
    quoted.append(u'"');
    return quoted;
}
