#include "support/loopback.h"

#include <QTcpServer>
#include <QTcpSocket>

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

Reply get(int port, const QByteArray& path)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, quint16(port));
    if (!socket.waitForConnected(10000))
        return {};
    socket.write("GET " + path + " HTTP/1.0\r\nHost: localhost\r\nConnection: close\r\n\r\n");
    QByteArray response;
    while (socket.waitForReadyRead(30000))
        response += socket.readAll();
    response += socket.readAll();
    const qsizetype headEnd = response.indexOf("\r\n\r\n");
    if (!response.startsWith("HTTP/1.") || headEnd < 0)
        return {};
    Reply reply;
    reply.statusLine = response.left(response.indexOf("\r\n"));
    reply.status = reply.statusLine.mid(9, 3).toInt();
    reply.body = response.mid(headEnd + 4);
    return reply;
}

} // namespace Loopback
