#include "discovery/version_value.h"

#include <algorithm>

std::optional<VersionValue> parseVersion(const QString& text)
{
    QStringView rest = QStringView(text).trimmed();
    if (rest.startsWith(u'v'))
        rest = rest.mid(1);
    for (QChar separator : {u'-', u'+'}) {
        const qsizetype suffix = rest.indexOf(separator);
        if (suffix >= 0)
            rest = rest.left(suffix);
    }

    VersionValue version;
    for (QStringView piece : rest.split(u'.')) {
        bool ok = false;
        const int number = piece.toInt(&ok, 10);
        if (ok && number >= 0)
            version.append(number);
    }
    if (version.isEmpty())
        return std::nullopt;
    return version;
}

bool isOlder(const VersionValue& version, const VersionValue& than)
{
    const qsizetype length = std::max(version.size(), than.size());
    for (qsizetype i = 0; i < length; ++i) {
        const int left = version.value(i, 0);
        const int right = than.value(i, 0);
        if (left != right)
            return left < right;
    }
    return false;
}
