#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <concepts>
#include <limits>
#include <optional>

// Strict reading of one field of a decoded JSON object. Each reader returns false when the
// document must fail: a required key that is missing (or null), or a value of the wrong type.
// A missing or null optional key leaves `out` as none.
namespace json_fields {

inline bool isAbsent(const QJsonValue& value)
{
    return value.isUndefined() || value.isNull();
}

// An integer that fits `Int` exactly; 8080 and 8080.0 qualify, 8080.5 and 1e20 do not.
template <std::integral Int> std::optional<Int> toExactInteger(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if constexpr (std::is_unsigned_v<Int>) {
        if (number < 0)
            return std::nullopt;
    }
    // toInteger keeps all 64 bits of an integer literal; doubles are checked for integrality.
    const qint64 sentinel = std::numeric_limits<qint64>::min();
    const qint64 integer = value.toInteger(sentinel);
    if (integer == sentinel && number != double(sentinel))
        return std::nullopt;
    if (integer < qint64(std::numeric_limits<Int>::min()))
        return std::nullopt;
    if constexpr (sizeof(Int) < sizeof(qint64)) {
        if (integer > qint64(std::numeric_limits<Int>::max()))
            return std::nullopt;
    }
    return Int(integer);
}

inline bool readString(const QJsonObject& object, const QString& key, QString& out)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return false;
    out = value.toString();
    return true;
}

inline bool readBool(const QJsonObject& object, const QString& key, bool& out)
{
    const QJsonValue value = object.value(key);
    if (!value.isBool())
        return false;
    out = value.toBool();
    return true;
}

template <std::integral Int>
bool readInteger(const QJsonObject& object, const QString& key, Int& out)
{
    const std::optional<Int> integer = toExactInteger<Int>(object.value(key));
    if (!integer)
        return false;
    out = *integer;
    return true;
}

inline bool readOptionalString(const QJsonObject& object, const QString& key,
                               std::optional<QString>& out)
{
    const QJsonValue value = object.value(key);
    if (isAbsent(value))
        return true;
    if (!value.isString())
        return false;
    out = value.toString();
    return true;
}

inline bool readOptionalBool(const QJsonObject& object, const QString& key,
                             std::optional<bool>& out)
{
    const QJsonValue value = object.value(key);
    if (isAbsent(value))
        return true;
    if (!value.isBool())
        return false;
    out = value.toBool();
    return true;
}

template <std::integral Int>
bool readOptionalInteger(const QJsonObject& object, const QString& key, std::optional<Int>& out)
{
    const QJsonValue value = object.value(key);
    if (isAbsent(value))
        return true;
    out = toExactInteger<Int>(value);
    return out.has_value();
}

} // namespace json_fields
