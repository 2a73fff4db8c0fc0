#pragma once

#include "control/control_reply.h"

#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>

class QLocalSocket;
class QTimer;
struct ControlRequest;

// One client of the control socket. Requests are read one line at a time and handled one
// after another; while one is in progress the rest wait in the socket (whose buffer is bounded,
// so a client that writes without end is held back by the kernel, not by our memory). A line
// over 64 KiB is answered with an error, after which the client's input is discarded. A client
// that sends no complete request within the idle time-out is dropped.
class ControlConnection : public QObject
{
    Q_OBJECT

public:
    // Handles a request; the reply is a child of the connection and dies with it, so anything
    // waiting on it should be its child too.
    using Handler = std::function<void(const ControlRequest&, ControlReply*)>;

    ControlConnection(QLocalSocket* socket, Handler handler, std::chrono::milliseconds idleTimeout,
                      QObject* parent = nullptr);

signals:
    // The client has gone or was dropped; the connection deletes itself afterwards.
    void closed();

private:
    void readRequests();
    void handleLine(const QByteArray& line);
    void write(const QJsonObject& message);
    void refuseOversized();
    void drop();

    QPointer<QLocalSocket> socket_;
    Handler handler_;
    QTimer* idle_;
    QPointer<ControlReply> current_;
    bool discarding_ = false;
};
