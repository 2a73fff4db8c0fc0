#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

// A minimal HTTP/1.1 client for the dev servers on this machine: one POST of a JSON body over a
// fresh TCP connection ("Connection: close"), read to its end. Blocking with one deadline for
// the whole exchange, so it runs on a background thread; safe on any thread. Plain sockets
// keep it within Qt Core.
namespace LoopbackHttp {

struct Answer
{
    enum class Failure {
        none,
        unreachable, // no address, or nothing listens (connection refused)
        timedOut,
        malformed, // not an HTTP response
        tooLarge,  // the body would pass `maxBodyBytes`
    };
    Failure failure = Failure::none;
    int status = 0;
    QByteArray body; // with any chunked transfer coding removed

    bool ok() const { return failure == Failure::none; }
};

// Longer answers are refused rather than held.
inline constexpr qsizetype maxBodyBytes = qsizetype(16) * 1024 * 1024;

// Sends `body` to http://host:port`target`. A wildcard host (0.0.0.0, ::) means this machine's
// loopback address, as it does for a server listening on every address.
Answer postJson(const QString& host, quint16 port, const QByteArray& target, const QByteArray& body,
                std::chrono::milliseconds timeout);

// The status and body of a complete response as received (exposed for the tests).
Answer parseResponse(const QByteArray& response);

} // namespace LoopbackHttp
