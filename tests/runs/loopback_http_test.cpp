#include "runs/loopback_http.h"
#include "support/qt_gtest_printers.h"

#include <QByteArray>

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using LoopbackHttp::Answer;
using namespace std::chrono_literals;

namespace {

// A one-connection-at-a-time HTTP server on 127.0.0.1: reads each request whole (headers and
// Content-Length body), keeps it, sends the canned response and closes; an empty response
// means it holds the connection open without answering until the test ends.
class CannedServer
{
public:
    CannedServer()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
            ::listen(fd_, 4) == 0 &&
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~CannedServer()
    {
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
        if (thread_.joinable())
            thread_.join();
    }

    quint16 port() const { return port_; }

    // Serves `response` to the next connection, on a thread of its own.
    void serveOnce(QByteArray response)
    {
        if (thread_.joinable())
            thread_.join();
        thread_ = std::thread([this, response = std::move(response)] {
            const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                return;
            QByteArray request;
            char buffer[4096];
            for (;;) {
                const qsizetype end = request.indexOf("\r\n\r\n");
                if (end >= 0) {
                    const qsizetype at = request.toLower().indexOf("content-length:");
                    const qsizetype length =
                        at < 0 ? 0
                               : request.mid(at + 15, request.indexOf('\r', at) - at - 15)
                                     .trimmed()
                                     .toLongLong();
                    if (request.size() >= end + 4 + length)
                        break;
                }
                const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
                if (got <= 0)
                    break;
                request.append(buffer, got);
            }
            lastRequest_ = request;
            if (response.isEmpty()) {
                // Never answers: waits for the server's end.
                char byte;
                (void)::recv(client, &byte, 1, 0);
            } else {
                (void)::send(client, response.constData(), size_t(response.size()), MSG_NOSIGNAL);
            }
            ::close(client);
        });
    }

    QByteArray lastRequest()
    {
        if (thread_.joinable())
            thread_.join();
        return lastRequest_;
    }

private:
    int fd_ = -1;
    quint16 port_ = 0;
    std::thread thread_;
    QByteArray lastRequest_;
};

const QByteArray target = "/cdn-cgi/explorer/api/local/observability/query";

} // namespace

TEST(LoopbackHttp, APostToARealSocketReadsEachKindOfAnswer)
{
    CannedServer server;
    ASSERT_NE(server.port(), 0);

    // A Content-Length answer, as workerd sends it; the request is a complete JSON POST.
    server.serveOnce("HTTP/1.1 200 OK\r\nContent-Length: 15\r\nContent-Type: application/json\r\n"
                     "Connection: close\r\n\r\n{\"success\":true}trailing bytes");
    Answer answer = LoopbackHttp::postJson(QStringLiteral("localhost"), server.port(), target,
                                           R"({"sql":"SELECT 1"})", 5s);
    EXPECT_TRUE(answer.ok());
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, "{\"success\":true");
    const QByteArray request = server.lastRequest();
    EXPECT_TRUE(request.startsWith("POST " + target + " HTTP/1.1\r\n")) << request.toStdString();
    EXPECT_TRUE(request.contains("\r\nContent-Type: application/json\r\n"));
    EXPECT_TRUE(request.contains("\r\nConnection: close\r\n"));
    EXPECT_TRUE(request.endsWith("\r\n\r\n{\"sql\":\"SELECT 1\"}"));

    // Chunked, to a wildcard host (a server on every address is reached on loopback).
    server.serveOnce("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                     "4\r\n{\"co\r\nA;ext=1\r\nlumns\":[]}\r\n0\r\n\r\n");
    answer = LoopbackHttp::postJson(QStringLiteral("0.0.0.0"), server.port(), target, "{}", 5s);
    EXPECT_TRUE(answer.ok());
    EXPECT_EQ(answer.body, "{\"columns\":[]}");

    // An older server: a 404 is an answer, not a failure.
    server.serveOnce("HTTP/1.1 404 Not Found\r\nContent-Length: 13\r\n\r\n404 Not Found");
    answer = LoopbackHttp::postJson(QStringLiteral("127.0.0.1"), server.port(), target, "{}", 5s);
    EXPECT_TRUE(answer.ok());
    EXPECT_EQ(answer.status, 404);

    // Cut short, and not HTTP at all.
    server.serveOnce("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n{\"rows\":");
    EXPECT_EQ(LoopbackHttp::postJson(QStringLiteral("127.0.0.1"), server.port(), target, "{}", 5s)
                  .failure,
              Answer::Failure::malformed);
    server.serveOnce("SSH-2.0-OpenSSH_9.6\r\n");
    EXPECT_EQ(LoopbackHttp::postJson(QStringLiteral("127.0.0.1"), server.port(), target, "{}", 5s)
                  .failure,
              Answer::Failure::malformed);

    // A server that never answers is given up at the deadline.
    server.serveOnce({});
    EXPECT_EQ(
        LoopbackHttp::postJson(QStringLiteral("127.0.0.1"), server.port(), target, "{}", 300ms)
            .failure,
        Answer::Failure::timedOut);
}

TEST(LoopbackHttp, NothingListeningIsUnreachable)
{
    quint16 port = 0;
    {
        CannedServer closed; // its port, free again once it is gone
        port = closed.port();
    }
    EXPECT_EQ(LoopbackHttp::postJson(QStringLiteral("127.0.0.1"), port, target, "{}", 2s).failure,
              LoopbackHttp::Answer::Failure::unreachable);
}
