#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

// A client of the control socket over a plain Unix socket: no event loop and no QtNetwork, so
// the command line stays as quick to start as a Qt Core program. Blocking; one per thread.
class ControlClient
{
public:
    ControlClient() = default;
    ~ControlClient();
    ControlClient(const ControlClient&) = delete;
    ControlClient& operator=(const ControlClient&) = delete;

    // False when nothing listens at `socketPath` (no instance runs).
    bool connectTo(const QString& socketPath);
    bool send(const QByteArray& line);
    // Connected, and the instance has sent nothing since the last answer: it has neither
    // closed the connection nor gone away. A client kept open between requests asks first.
    bool isIdle() const;
    // The next message, waiting at most `timeoutMs` (forever when negative); none when the
    // connection closed, broke, timed out or sent something that is not a JSON object.
    std::optional<QJsonObject> receive(int timeoutMs = -1);

private:
    int fd_ = -1;
    QByteArray buffer_;
};
