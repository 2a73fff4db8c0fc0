#include "runs/log_line_kind.h"

#include <initializer_list>

namespace {

bool containsAny(const QString& text, std::initializer_list<QStringView> needles)
{
    for (const QStringView needle : needles)
        if (text.contains(needle))
            return true;
    return false;
}

} // namespace

LogLineKind logLineKind(const QString& text)
{
    if (QStringView(text).trimmed().startsWith(u"at "))
        return LogLineKind::stackFrame;
    if (text.startsWith(u'▶'))
        return LogLineKind::announcement;
    if (text.startsWith(u'■') || text.startsWith(u'↪'))
        return LogLineKind::aside;
    const QString lower = text.toLower();
    if (containsAny(lower, {u"error", u"✖", u"failed", u"exception"}))
        return LogLineKind::error;
    if (lower.contains(u"warn"))
        return LogLineKind::warning;
    if (containsAny(lower, {u"ready on", u"listening", u"local "}))
        return LogLineKind::ready;
    return LogLineKind::plain;
}
