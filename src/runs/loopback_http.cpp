#include "runs/loopback_http.h"

#include <QList>

#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace LoopbackHttp {

namespace {

using Clock = std::chrono::steady_clock;
using Failure = Answer::Failure;

class Socket
{
public:
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

int remainingMs(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

// Waits for `events` on the socket; false once the deadline has passed.
bool waitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, remainingMs(deadline));
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

// Connects without blocking past the deadline; -1 with `failure` set when no address answers.
int connectTo(const QString& host, quint16 port, Clock::time_point deadline, Failure& failure)
{
    QByteArray name = host.toUtf8();
    if (name.startsWith('[') && name.endsWith(']'))
        name = name.mid(1, name.size() - 2);
    if (name == "0.0.0.0" || name.isEmpty())
        name = "127.0.0.1";
    else if (name == "::")
        name = "::1";
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    failure = Failure::unreachable;
    if (::getaddrinfo(name.constData(), QByteArray::number(port).constData(), &hints, &found) != 0)
        return -1;
    int connected = -1;
    for (addrinfo* address = found; address && connected < 0; address = address->ai_next) {
        const int fd =
            ::socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                     address->ai_protocol);
        if (fd < 0)
            continue;
        int result = ::connect(fd, address->ai_addr, address->ai_addrlen);
        if (result < 0 && errno == EINPROGRESS) {
            if (!waitFor(fd, POLLOUT, deadline)) {
                ::close(fd);
                failure = Failure::timedOut;
                break;
            }
            int error = 0;
            socklen_t length = sizeof error;
            result =
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0 ? 0 : -1;
        }
        if (result == 0)
            connected = fd;
        else
            ::close(fd);
    }
    ::freeaddrinfo(found);
    if (connected >= 0)
        failure = Failure::none;
    return connected;
}

bool sendAll(int fd, const QByteArray& data, Clock::time_point deadline)
{
    qsizetype sent = 0;
    while (sent < data.size()) {
        const ssize_t written =
            ::send(fd, data.constData() + sent, size_t(data.size() - sent), MSG_NOSIGNAL);
        if (written > 0) {
            sent += written;
        } else if (written < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (!waitFor(fd, POLLOUT, deadline))
                return false;
        } else {
            return false;
        }
    }
    return true;
}

// Decodes a chunked body; false when it is cut short or not chunked at all.
bool unchunk(QByteArrayView data, QByteArray& out)
{
    out.clear();
    for (;;) {
        const qsizetype lineEnd = data.indexOf("\r\n");
        if (lineEnd < 0)
            return false;
        QByteArrayView sizeText = data.first(lineEnd);
        if (const qsizetype extension = sizeText.indexOf(';'); extension >= 0)
            sizeText = sizeText.first(extension);
        bool ok = false;
        const qlonglong size = sizeText.trimmed().toLongLong(&ok, 16);
        if (!ok || size < 0 || size > maxBodyBytes)
            return false;
        data = data.sliced(lineEnd + 2);
        if (size == 0)
            return true; // trailers, if any, are of no interest
        if (data.size() < size + 2 || out.size() + size > maxBodyBytes)
            return false;
        out.append(data.first(size));
        data = data.sliced(size + 2);
    }
}

} // namespace

Answer parseResponse(const QByteArray& response)
{
    Answer answer;
    answer.failure = Failure::malformed;
    const qsizetype headerEnd = response.indexOf("\r\n\r\n");
    if (headerEnd < 0 || !response.startsWith("HTTP/1."))
        return answer;
    const QList<QByteArray> lines = response.first(headerEnd).split('\n');
    const QList<QByteArray> statusLine = lines.first().trimmed().split(' ');
    bool ok = false;
    const int status = statusLine.size() >= 2 ? statusLine.at(1).toInt(&ok) : 0;
    if (!ok || status < 100 || status > 599)
        return answer;

    bool chunked = false;
    qlonglong length = -1;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines.at(i);
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray field = line.first(colon).trimmed().toLower();
        const QByteArray value = line.sliced(colon + 1).trimmed().toLower();
        if (field == "transfer-encoding")
            chunked = value.contains("chunked");
        else if (field == "content-length")
            length = value.toLongLong(&ok);
    }
    const QByteArrayView rest = QByteArrayView(response).sliced(headerEnd + 4);
    if (chunked) {
        if (!unchunk(rest, answer.body))
            return answer;
    } else if (length >= 0) {
        if (rest.size() < length)
            return answer; // cut short
        answer.body = rest.first(length).toByteArray();
    } else {
        answer.body = rest.toByteArray(); // delimited by the connection's end
    }
    answer.status = status;
    answer.failure = Failure::none;
    return answer;
}

Answer postJson(const QString& host, quint16 port, const QByteArray& target, const QByteArray& body,
                std::chrono::milliseconds timeout)
{
    const Clock::time_point deadline = Clock::now() + timeout;
    Answer answer;
    const Socket socket(connectTo(host, port, deadline, answer.failure));
    if (socket.fd() < 0)
        return answer;

    QByteArray hostHeader = host.toUtf8();
    if (hostHeader.contains(':') && !hostHeader.startsWith('['))
        hostHeader = '[' + hostHeader + ']';
    const QByteArray request =
        "POST " + target + " HTTP/1.1\r\nHost: " + hostHeader + ':' + QByteArray::number(port) +
        "\r\nContent-Type: application/json\r\nAccept: application/json"
        "\r\nContent-Length: " +
        QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    if (!sendAll(socket.fd(), request, deadline)) {
        answer.failure = remainingMs(deadline) == 0 ? Failure::timedOut : Failure::unreachable;
        return answer;
    }

    QByteArray response;
    char buffer[16384];
    for (;;) {
        const ssize_t received = ::recv(socket.fd(), buffer, sizeof buffer, 0);
        if (received > 0) {
            response.append(buffer, received);
            if (response.size() > maxBodyBytes + qsizetype(64) * 1024) {
                answer.failure = Failure::tooLarge;
                return answer;
            }
        } else if (received < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (!waitFor(socket.fd(), POLLIN, deadline)) {
                answer.failure = Failure::timedOut;
                return answer;
            }
        } else if (received == 0 || (errno == ECONNRESET && !response.isEmpty())) {
            break; // the end; some servers reset after a complete "Connection: close" answer
        } else {
            answer.failure = Failure::unreachable;
            return answer;
        }
    }
    return parseResponse(response);
}

} // namespace LoopbackHttp
