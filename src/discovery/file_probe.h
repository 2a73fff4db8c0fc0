#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <fcntl.h>
#include <optional>

// Small, fast file-system reads for inspection. Every failure is "not found" for the callers
// that degrade to defaults; readFileAt also says why, for the one failure that is reported.
// `dirFd` is a folder descriptor or AT_FDCWD; `relative` a path below it (or absolute).
namespace file_probe {

// Anything at the path (a dangling symbolic link does not count).
bool existsAt(int dirFd, const QByteArray& relative);

struct ReadResult
{
    QByteArray bytes;
    std::optional<QString> error; // why the file could not be read
};
// The whole content of a regular file. Folders, pipes and devices are refused without
// blocking, and so are files larger than a configuration or manifest could sensibly be.
ReadResult readFileAt(int dirFd, const QByteArray& relative);
ReadResult readFile(const QString& path);
std::optional<QByteArray> readBytes(const QString& path);

bool isValidUtf8(QByteArrayView bytes);
// The bytes parsed as a JSON object; none when invalid or not an object.
std::optional<QJsonObject> jsonObject(const QByteArray& bytes);

// Entry names of a folder; none when it cannot be listed (a folder may let its entries be
// reached by name without being listable, as mode 0711 does).
std::optional<QStringList> listNamesAt(int dirFd, const QByteArray& relative);

} // namespace file_probe
