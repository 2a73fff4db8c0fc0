#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

// Small, fast file-system reads for inspection. Every failure is "not found": inspection
// degrades unreadable files to defaults and never reports them.
namespace file_probe {

// Anything at the path (a dangling symbolic link does not count).
bool exists(const QString& path);
// The whole file, or a description of why it could not be read (a folder, too large, ...).
struct ReadResult
{
    QByteArray bytes;
    std::optional<QString> error;
};
ReadResult readFile(const QString& path);
std::optional<QByteArray> readBytes(const QString& path);
// The file when it is valid UTF-8 text (returned as its bytes).
std::optional<QByteArray> readUtf8(const QString& path);
bool isValidUtf8(QByteArrayView bytes);
// The file parsed as a JSON object; none when unreadable, invalid or not an object.
std::optional<QJsonObject> readJsonObject(const QString& path);
// Entry names of a folder; empty when it cannot be listed.
QStringList listNames(const QString& folder);

} // namespace file_probe
