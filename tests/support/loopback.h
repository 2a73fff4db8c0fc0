#pragma once

#include <QByteArray>
#include <QString>

// Plain HTTP over 127.0.0.1 for the tests that talk to a real server.
namespace Loopback {

// A loopback port at or above `from` and below the range the system hands out, free right now;
// 0 when there is none.
int freeLowPort(int from);

struct Reply
{
    // 0 when no answer came.
    int status = 0;
    // "HTTP/1.1 200 OK", without the line end.
    QByteArray statusLine;
    QByteArray body;
};

// An HTTP GET of `path` on 127.0.0.1:port, read until the answer is whole (its length, its last
// chunk) or the server closes the connection; a chunked body is returned joined.
Reply get(int port, const QByteArray& path);

// A real listening socket on a loopback port the kernel chose (nothing accepts on it); closed
// with the object or by `close`.
class Listener
{
public:
    Listener();
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // 0 when the socket could not be set up.
    int port() const { return port_; }
    // "127.0.0.1:<port>", as a dev registry names a debug port.
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }
    // Stops listening; the port stays known.
    void close();

private:
    int fd_ = -1;
    int port_ = 0;
};

} // namespace Loopback
