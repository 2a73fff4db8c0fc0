#include "core/json_writer.h"

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
    out.append(level * 2, ' ');
}

void appendString(QByteArray& out, const QString& text)
{
    static constexpr char hex[] = "0123456789abcdef";
    out.append('"');
    const QByteArray utf8 = text.toUtf8();
    for (char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
        case '"': out.append("\\\""); break;
        case '\\': out.append("\\\\"); break;
        case '/': out.append("\\/"); break;
        case '\b': out.append("\\b"); break;
        case '\f': out.append("\\f"); break;
        case '\n': out.append("\\n"); break;
        case '\r': out.append("\\r"); break;
        case '\t': out.append("\\t"); break;
        default:
            if (byte < 0x20) {
                out.append("\\u00");
                out.append(hex[byte >> 4]);
                out.append(hex[byte & 0xF]);
            } else {
                out.append(c);
            }
        }
    }
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
