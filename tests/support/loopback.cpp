#include "support/loopback.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Loopback {

int freeLowPort(int from)
{
    for (int port = from; port < 32000; ++port) {
        QTcpServer probe;
        if (probe.listen(QHostAddress::LocalHost, quint16(port)))
            return port;
    }
    return 0;
}

namespace {

// Whether `response` holds a whole answer: a server may keep the connection open after it
// (workerd does for some answers), so waiting for the close alone can take the read timeout.
bool complete(const QByteArray& response)
{
    const qsizetype headEnd = response.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return false;
    const QByteArray head = response.left(headEnd).toLower();
    const qsizetype bodyStart = headEnd + 4;
    const qsizetype lengthAt = head.indexOf("\r\ncontent-length:");
    if (lengthAt >= 0) {
        const qsizetype valueAt = lengthAt + qsizetype(sizeof("\r\ncontent-length:") - 1);
        const qsizetype lineEnd = head.indexOf("\r\n", valueAt);
        bool ok = false;
        const qsizetype length =
            head.mid(valueAt, lineEnd < 0 ? -1 : lineEnd - valueAt).trimmed().toLongLong(&ok);
        return ok && response.size() - bodyStart >= length;
    }
    if (head.contains("\r\ntransfer-encoding: chunked")) {
        const QByteArray body = response.mid(bodyStart);
        return body == "0\r\n\r\n" || body.endsWith("\r\n0\r\n\r\n");
    }
    return false;
}

QByteArray unchunked(const QByteArray& body)
{
    QByteArray plain;
    qsizetype at = 0;
    while (at < body.size()) {
        const qsizetype sizeEnd = body.indexOf("\r\n", at);
        if (sizeEnd < 0)
            break;
        bool ok = false;
        const qsizetype size = body.mid(at, sizeEnd - at).split(';').first().toLongLong(&ok, 16);
        if (!ok || size == 0)
            break;
        plain += body.mid(sizeEnd + 2, size);
        at = sizeEnd + 2 + size + 2;
    }
    return plain;
}

} // namespace

Reply get(int port, const QByteArray& path)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, quint16(port));
    if (!socket.waitForConnected(10000))
        return {};
    socket.write("GET " + path + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n");
    QByteArray response;
    while (!complete(response) && socket.waitForReadyRead(30000))
        response += socket.readAll();
    response += socket.readAll();
    const qsizetype headEnd = response.indexOf("\r\n\r\n");
    if (!response.startsWith("HTTP/1.") || headEnd < 0)
        return {};
    Reply reply;
    reply.statusLine = response.left(response.indexOf("\r\n"));
    reply.status = reply.statusLine.mid(9, 3).toInt();
    reply.body = response.mid(headEnd + 4);
    if (response.left(headEnd).toLower().contains("\r\ntransfer-encoding: chunked"))
        reply.body = unchunked(reply.body);
    return reply;
}

Listener::Listener()
{
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 && ::listen(fd_, 4) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port_ = ntohs(address.sin_port);
}

Listener::~Listener()
{
    close();
}

void Listener::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

} // namespace Loopback
