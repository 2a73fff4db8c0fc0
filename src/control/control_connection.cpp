#include "control/control_connection.h"

#include "control/control_protocol.h"

#include <QLocalSocket>
#include <QTimer>

ControlConnection::ControlConnection(QLocalSocket* socket, Handler handler,
                                     std::chrono::milliseconds idleTimeout, QObject* parent)
    : QObject(parent), socket_(socket), handler_(std::move(handler)), idle_(new QTimer(this))
{
    socket->setParent(this);
    socket->setReadBufferSize(ControlProtocol::maxLineBytes);
    idle_->setSingleShot(true);
    idle_->setInterval(idleTimeout);
    connect(idle_, &QTimer::timeout, this, &ControlConnection::drop);
    connect(socket, &QLocalSocket::readyRead, this, &ControlConnection::readRequests);
    connect(socket, &QLocalSocket::disconnected, this, &ControlConnection::drop,
            Qt::QueuedConnection);
    idle_->start();
    // Input may have arrived before the connection was set up.
    QTimer::singleShot(0, this, &ControlConnection::readRequests);
}

void ControlConnection::readRequests()
{
    if (!socket_)
        return;
    if (discarding_) {
        socket_->readAll();
        return;
    }
    while (!current_ && socket_ && !discarding_) {
        if (!socket_->canReadLine()) {
            if (socket_->bytesAvailable() >= ControlProtocol::maxLineBytes)
                refuseOversized();
            return;
        }
        QByteArray line = socket_->readLine(ControlProtocol::maxLineBytes + 1);
        if (!line.endsWith('\n')) { // longer than the buffer allows: the line goes on
            refuseOversized();
            return;
        }
        line.chop(1);
        handleLine(line);
    }
}

void ControlConnection::handleLine(const QByteArray& line)
{
    const auto decoded = decodeRequest(line);
    if (const auto* error = std::get_if<RequestError>(&decoded)) {
        write(ControlAnswer::usageError(error->message));
        idle_->start();
        return;
    }
    idle_->stop(); // a request in progress may take long (a start, `logs --follow`)
    auto* reply = new ControlReply(this);
    current_ = reply;
    connect(reply, &ControlReply::lineReady, this,
            [this, reply](const QByteArray& line, bool final) {
                if (socket_ && socket_->state() == QLocalSocket::ConnectedState)
                    socket_->write(line);
                if (!final)
                    return;
                reply->deleteLater();
                current_ = nullptr;
                idle_->start();
                // The next request may already be waiting; read it from the event loop.
                QTimer::singleShot(0, this, &ControlConnection::readRequests);
            });
    handler_(std::get<ControlRequest>(decoded), reply);
}

void ControlConnection::write(const QJsonObject& message)
{
    if (socket_ && socket_->state() == QLocalSocket::ConnectedState)
        socket_->write(ControlAnswer::encode(message));
}

void ControlConnection::refuseOversized()
{
    write(ControlAnswer::usageError(QStringLiteral("the request is longer than 64 KiB")));
    // The rest of the line cannot be told from the next request: everything after it is
    // thrown away until the client closes or the idle time-out drops it.
    discarding_ = true;
    socket_->readAll();
    idle_->start();
}

void ControlConnection::drop()
{
    if (!socket_)
        return;
    idle_->stop();
    QLocalSocket* socket = socket_;
    socket_ = nullptr;
    delete current_; // anything waiting for the client goes with its reply
    socket->abort();
    emit closed();
    deleteLater();
}
