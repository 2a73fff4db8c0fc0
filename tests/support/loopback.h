#pragma once

#include <QByteArray>

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

} // namespace Loopback
