#include "storage/atomic_file.h"

#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString describe(const char* step, int error)
{
    return QStringLiteral("%1: %2").arg(QLatin1StringView(step),
                                        QString::fromLocal8Bit(strerror(error)));
}

// Writes everything, retrying short writes and interruptions.
bool writeAll(const FileOps& ops, int fd, const QByteArray& data)
{
    const char* next = data.constData();
    size_t left = size_t(data.size());
    while (left > 0) {
        const ssize_t written = ops.write(fd, next, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0) {
            errno = EIO;
            return false;
        }
        next += written;
        left -= size_t(written);
    }
    return true;
}

// Makes the rename itself durable; a folder that cannot be synced is not a failed save.
void syncFolder(const QByteArray& folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

const FileOps& systemFileOps()
{
    static const FileOps ops{
        [](int fd, const void* data, size_t size) { return ::write(fd, data, size); },
        [](int fd) { return ::fsync(fd); },
        [](const char* from, const char* to) { return std::rename(from, to); },
    };
    return ops;
}

std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& data,
                                           const FileOps& ops)
{
    const QFileInfo target(path);
    const QByteArray folder = QFile::encodeName(target.absolutePath());
    const QByteArray finalPath = QFile::encodeName(target.absoluteFilePath());
    // A hidden name in the same folder, so that the rename never crosses file systems.
    QByteArray tempPath = folder + '/' + '.' + QFile::encodeName(target.fileName()) + ".tmp-XXXXXX";

    const int fd = ::mkostemp(tempPath.data(), O_CLOEXEC);
    if (fd < 0)
        return describe("cannot create a temporary file", errno);

    // mkstemp creates the file with mode 0600, which suits the user's own data files.
    const char* failedStep = nullptr;
    int error = 0;
    if (!writeAll(ops, fd, data)) {
        failedStep = "cannot write";
        error = errno;
    } else if (ops.fsync(fd) != 0) {
        failedStep = "cannot flush to disk";
        error = errno;
    }
    if (::close(fd) != 0 && !failedStep) {
        failedStep = "cannot close";
        error = errno;
    }
    if (failedStep) {
        ::unlink(tempPath.constData());
        return describe(failedStep, error);
    }
    if (ops.rename(tempPath.constData(), finalPath.constData()) != 0) {
        const int renameErrno = errno;
        ::unlink(tempPath.constData());
        return describe("cannot replace the file", renameErrno);
    }
    syncFolder(folder);
    return std::nullopt;
}
