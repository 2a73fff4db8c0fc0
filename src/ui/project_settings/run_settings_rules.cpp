#include "ui/project_settings/run_settings_rules.h"

#include "discovery/project_info.h"

PortEntry PortEntry::parse(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {Kind::clear, 0};
    QStringView digits(trimmed);
    const bool negative = digits.startsWith(u'-');
    if (negative || digits.startsWith(u'+'))
        digits = digits.mid(1);
    // Only ASCII digits: no inner blanks, no second sign, no other numerals.
    if (digits.isEmpty())
        return {};
    int value = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return {};
        if (value <= 65535) // past that the value only needs to stay out of range
            value = value * 10 + (c.unicode() - u'0');
    }
    if (negative)
        value = -value;
    if (value < 1024 || value > 65535)
        return {};
    return {Kind::port, value};
}

QString autoDetectLabel(const ProjectInfo* info)
{
    return QStringLiteral("Auto-detect (") +
           (info ? label(info->detectedMode) : QStringLiteral("…")) + QStringLiteral(")");
}
