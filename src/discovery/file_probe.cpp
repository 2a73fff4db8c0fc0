#include "discovery/file_probe.h"

#include <QFile>
#include <QJsonDocument>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace file_probe {

namespace {

// Configuration and manifest files are small; a larger file is not what we look for and
// must not be read into memory whole.
constexpr qint64 maxFileSize = 16 * 1024 * 1024;

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

bool exists(const QString& path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

ReadResult readFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {{}, errnoText(errno)};
    ReadResult result;
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        result.error = errnoText(errno);
    } else if (S_ISDIR(info.st_mode)) {
        result.error = errnoText(EISDIR);
    } else if (info.st_size > maxFileSize) {
        result.error = QStringLiteral("The file is larger than %1 MiB").arg(maxFileSize >> 20);
    } else {
        // st_size may be 0 for special files: read until end of file, within the cap.
        result.bytes.resize(qsizetype(info.st_size > 0 ? info.st_size : 4096));
        qsizetype filled = 0;
        for (;;) {
            if (filled == result.bytes.size()) {
                if (filled >= maxFileSize) {
                    result.error =
                        QStringLiteral("The file is larger than %1 MiB").arg(maxFileSize >> 20);
                    break;
                }
                result.bytes.resize(std::min<qsizetype>(filled * 2 + 1, maxFileSize));
            }
            const ssize_t count =
                ::read(fd, result.bytes.data() + filled, size_t(result.bytes.size() - filled));
            if (count < 0 && errno == EINTR)
                continue;
            if (count < 0) {
                result.error = errnoText(errno);
                break;
            }
            if (count == 0)
                break;
            filled += count;
        }
        result.bytes.truncate(filled);
    }
    ::close(fd);
    if (result.error)
        result.bytes.clear();
    return result;
}

std::optional<QByteArray> readBytes(const QString& path)
{
    ReadResult result = readFile(path);
    if (result.error)
        return std::nullopt;
    return std::move(result.bytes);
}

bool isValidUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

std::optional<QByteArray> readUtf8(const QString& path)
{
    std::optional<QByteArray> bytes = readBytes(path);
    if (bytes && !isValidUtf8(*bytes))
        return std::nullopt;
    return bytes;
}

std::optional<QJsonObject> readJsonObject(const QString& path)
{
    const std::optional<QByteArray> bytes = readBytes(path);
    if (!bytes)
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(*bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

QStringList listNames(const QString& folder)
{
    QStringList names;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        names.append(QFile::decodeName(name));
    }
    ::closedir(dir);
    return names;
}

} // namespace file_probe
