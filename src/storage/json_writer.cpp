#include "storage/json_writer.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

void appendIndent(QByteArray& out, int level)
{
    out.append(qsizetype(level) * 2, ' ');
}

void appendEscapedUnit(QByteArray& out, char16_t unit)
{
    static constexpr char hex[] = "0123456789abcdef";
    out.append("\\u");
    for (int shift = 12; shift >= 0; shift -= 4)
        out.append(hex[(unit >> shift) & 0xF]);
}

void appendString(QByteArray& out, const QString& text)
{
    out.append('"');
    const qsizetype size = text.size();
    qsizetype runStart = 0; // start of characters that need no escaping, copied as UTF-8
    auto flush = [&](qsizetype end) {
        if (end > runStart)
            out.append(QStringView(text).sliced(runStart, end - runStart).toUtf8());
    };
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = text.at(i).unicode();
        const char* escape = nullptr;
        switch (unit) {
        case u'"': escape = "\\\""; break;
        case u'\\': escape = "\\\\"; break;
        case u'/': escape = "\\/"; break;
        case u'\b': escape = "\\b"; break;
        case u'\f': escape = "\\f"; break;
        case u'\n': escape = "\\n"; break;
        case u'\r': escape = "\\r"; break;
        case u'\t': escape = "\\t"; break;
        default: break;
        }
        const bool control = unit < 0x20;
        // A surrogate without its partner has no UTF-8 form; escaping keeps it exactly.
        const bool loneSurrogate =
            QChar::isSurrogate(unit) &&
            !(QChar::isHighSurrogate(unit) && i + 1 < size && text.at(i + 1).isLowSurrogate()) &&
            !(QChar::isLowSurrogate(unit) && i > 0 && text.at(i - 1).isHighSurrogate());
        if (!escape && !control && !loneSurrogate)
            continue;
        flush(i);
        runStart = i + 1;
        if (escape)
            out.append(escape);
        else
            appendEscapedUnit(out, unit);
    }
    flush(size);
    out.append('"');
}

void appendNumber(QByteArray& out, const QJsonValue& value)
{
    const double number = value.toDouble();
    if (!std::isfinite(number)) {
        out.append("null"); // JSON has no infinities or NaN
        return;
    }
    // Integers (also those beyond a double's exact range) keep every digit.
    const qint64 integer = value.toInteger(std::numeric_limits<qint64>::min());
    if (integer != std::numeric_limits<qint64>::min() || number == double(integer)) {
        out.append(QByteArray::number(integer));
        return;
    }
    out.append(QByteArray::number(number, 'g', QLocale::FloatingPointShortest));
}

void appendValue(QByteArray& out, const QJsonValue& value, int level);

void appendArray(QByteArray& out, const QJsonArray& array, int level)
{
    if (array.isEmpty()) {
        out.append("[]");
        return;
    }
    out.append("[\n");
    for (qsizetype i = 0; i < array.size(); ++i) {
        appendIndent(out, level + 1);
        appendValue(out, array.at(i), level + 1);
        out.append(i + 1 < array.size() ? ",\n" : "\n");
    }
    appendIndent(out, level);
    out.append(']');
}

void appendObject(QByteArray& out, const QJsonObject& object, int level)
{
    if (object.isEmpty()) {
        out.append("{}");
        return;
    }
    // Sort by UTF-8 bytes, which is the order of Unicode scalar values.
    QList<QPair<QByteArray, QString>> keys;
    keys.reserve(object.size());
    for (auto it = object.begin(); it != object.end(); ++it)
        keys.append({it.key().toUtf8(), it.key()});
    std::sort(keys.begin(), keys.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });

    out.append("{\n");
    for (qsizetype i = 0; i < keys.size(); ++i) {
        appendIndent(out, level + 1);
        appendString(out, keys.at(i).second);
        out.append(" : ");
        appendValue(out, object.value(keys.at(i).second), level + 1);
        out.append(i + 1 < keys.size() ? ",\n" : "\n");
    }
    appendIndent(out, level);
    out.append('}');
}

void appendValue(QByteArray& out, const QJsonValue& value, int level)
{
    switch (value.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined: out.append("null"); break;
    case QJsonValue::Bool: out.append(value.toBool() ? "true" : "false"); break;
    case QJsonValue::Double: appendNumber(out, value); break;
    case QJsonValue::String: appendString(out, value.toString()); break;
    case QJsonValue::Array: appendArray(out, value.toArray(), level); break;
    case QJsonValue::Object: appendObject(out, value.toObject(), level); break;
    }
}

} // namespace

QByteArray encodeDataFileJson(const QJsonValue& value)
{
    QByteArray out;
    appendValue(out, value, 0);
    return out;
}
