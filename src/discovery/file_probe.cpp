#include "discovery/file_probe.h"

#include "base/directory_entries.h"

#include <QFile>
#include <QJsonDocument>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace file_probe {

namespace {

// Configuration and manifest files are small; a larger file is not what we look for and
// must not be read into memory whole.
constexpr qint64 maxFileSize = qint64(16) * 1024 * 1024;

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString tooLarge()
{
    return QStringLiteral("The file is larger than %1 MiB").arg(maxFileSize >> 20);
}

// Reads an open regular file to its end, within the cap.
ReadResult readOpenFile(int fd, qint64 size)
{
    ReadResult result;
    result.bytes.resize(qsizetype(std::max<qint64>(size, 0)) + 1); // +1 notices growth
    qsizetype filled = 0;
    for (;;) {
        if (filled == result.bytes.size()) {
            if (filled > maxFileSize) {
                result.error = tooLarge();
                return result;
            }
            result.bytes.resize(std::min<qsizetype>(filled * 2, maxFileSize + 1));
        }
        const ssize_t count =
            ::read(fd, result.bytes.data() + filled, size_t(result.bytes.size() - filled));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            result.error = errnoText(errno);
            return result;
        }
        if (count == 0)
            break;
        filled += count;
    }
    result.bytes.truncate(filled);
    return result;
}

} // namespace

bool existsAt(int dirFd, const QByteArray& relative)
{
    struct stat info;
    return ::fstatat(dirFd, relative.constData(), &info, 0) == 0;
}

ReadResult readFileAt(int dirFd, const QByteArray& relative)
{
    // O_NONBLOCK: opening a pipe named like a configuration file must not wait for a writer.
    const int fd = ::openat(dirFd, relative.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {{}, errnoText(errno)};
    ReadResult result;
    struct stat info;
    if (::fstat(fd, &info) != 0)
        result.error = errnoText(errno);
    else if (S_ISDIR(info.st_mode))
        result.error = errnoText(EISDIR);
    else if (!S_ISREG(info.st_mode))
        result.error = QStringLiteral("Not a regular file");
    else if (info.st_size > maxFileSize)
        result.error = tooLarge();
    else
        result = readOpenFile(fd, info.st_size);
    ::close(fd);
    if (result.error)
        result.bytes.clear();
    return result;
}

ReadResult readFile(const QString& path)
{
    return readFileAt(AT_FDCWD, QFile::encodeName(path));
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

std::optional<QJsonObject> jsonObject(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

std::optional<QStringList> listNamesAt(int dirFd, const QByteArray& relative)
{
    QStringList names;
    const bool listed =
        forEachDirectoryEntry(dirFd, relative.constData(), [&](const dirent& entry, int) {
            const char* name = entry.d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                return;
            names.append(QFile::decodeName(name));
        });
    if (!listed)
        return std::nullopt;
    return names;
}

} // namespace file_probe
