#include "control/control_client.h"

#include <QFile>
#include <QJsonDocument>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// An answer larger than this is not one of ours.
constexpr qsizetype maxAnswerBytes = qsizetype(64) * 1024 * 1024;

} // namespace

ControlClient::~ControlClient()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool ControlClient::connectTo(const QString& socketPath)
{
    const QByteArray path = QFile::encodeName(socketPath);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || size_t(path.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0)
        return false;
    int result;
    do {
        result = ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    return true;
}

bool ControlClient::send(const QByteArray& line)
{
    qsizetype written = 0;
    while (fd_ >= 0 && written < line.size()) {
        const ssize_t n =
            ::send(fd_, line.constData() + written, size_t(line.size() - written), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += n;
    }
    return fd_ >= 0;
}

bool ControlClient::isIdle() const
{
    if (fd_ < 0 || !buffer_.isEmpty())
        return false;
    pollfd readable{fd_, POLLIN, 0};
    return ::poll(&readable, 1, 0) == 0;
}

std::optional<QJsonObject> ControlClient::receive(int timeoutMs)
{
    while (fd_ >= 0) {
        if (const qsizetype end = buffer_.indexOf('\n'); end >= 0) {
            const QByteArray line = buffer_.left(end);
            buffer_.remove(0, end + 1);
            const QJsonDocument document = QJsonDocument::fromJson(line);
            if (!document.isObject())
                return std::nullopt;
            return document.object();
        }
        if (buffer_.size() > maxAnswerBytes)
            return std::nullopt;
        pollfd readable{fd_, POLLIN, 0};
        const int ready = ::poll(&readable, 1, timeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return std::nullopt;
        char chunk[65536];
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return std::nullopt;
        buffer_.append(chunk, n);
    }
    return std::nullopt;
}
