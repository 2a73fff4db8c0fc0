#include "control/json_text.h"

#include <cmath>

void appendJsonString(QByteArray& out, const QString& text)
{
    static constexpr char hex[] = "0123456789abcdef";
    out += '"';
    for (const char byte : text.toUtf8()) {
        const auto code = static_cast<unsigned char>(byte);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += byte;
        } else if (code < 0x20) {
            out += "\\u00";
            out += hex[code >> 4];
            out += hex[code & 0xf];
        } else {
            out += byte; // UTF-8 passes as it is
        }
    }
    out += '"';
}

void JsonObjectText::addKey(const char* key)
{
    if (!first_)
        out_ += ',';
    first_ = false;
    out_ += '"';
    out_ += key;
    out_ += "\":";
}

void JsonObjectText::add(const char* key, const QString& value)
{
    addKey(key);
    appendJsonString(out_, value);
}

void JsonObjectText::add(const char* key, bool value)
{
    addKey(key);
    out_ += value ? "true" : "false";
}

void JsonObjectText::add(const char* key, qint64 value)
{
    addKey(key);
    out_ += QByteArray::number(value);
}

void JsonObjectText::add(const char* key, double value)
{
    addKey(key);
    // Not a number and the infinities have no JSON form.
    out_ += std::isfinite(value) ? QByteArray::number(value, 'f', 1) : QByteArray("0");
    if (out_.endsWith(".0"))
        out_.chop(2);
}

void JsonObjectText::addJson(const char* key, const QByteArray& json)
{
    addKey(key);
    out_ += json;
}
