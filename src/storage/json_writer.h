#pragma once

#include <QByteArray>
#include <QJsonValue>

// Encodes a value in the one written form of the data files: keys sorted ascending at every
// level, two spaces of indentation per level, " : " between a key and its value, every "/"
// escaped as "\/", and no trailing newline. Empty arrays and objects are written as [] and {}.
QByteArray encodeDataFileJson(const QJsonValue& value);
