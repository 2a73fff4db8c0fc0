#include "control/control_server.h"

#include "control/control_protocol.h"
#include "control/peer_credentials.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

ControlServer::ControlServer(ControlConnection::Handler handler, ControlServerTiming timing,
                             QObject* parent)
    : QObject(parent), handler_(std::move(handler)), timing_(timing),
      server_(new QLocalServer(this)), allowedUser_(::geteuid())
{
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    server_->setMaxPendingConnections(maxClients);
    server_->setListenBacklogSize(maxClients);
    connect(server_, &QLocalServer::newConnection, this, &ControlServer::acceptClients);
}

ControlServer::~ControlServer()
{
    // The socket file goes with the server, so a client finds no instance instead of a dead one.
    server_->close();
}

std::optional<QString> ControlServer::listen(const QString& socketPath)
{
    QLocalServer::removeServer(socketPath);
    if (!server_->listen(socketPath))
        return server_->errorString();
    return std::nullopt;
}

QString ControlServer::socketPath() const
{
    return server_->fullServerName();
}

void ControlServer::acceptClients()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        const std::optional<uid_t> peer = peerUserID(int(socket->socketDescriptor()));
        if (!peer || *peer != allowedUser_) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        if (clients_ >= maxClients) {
            socket->write(ControlAnswer::encode(
                ControlAnswer::failure(QStringLiteral("too many clients at once; try again"))));
            socket->disconnectFromServer();
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        ++clients_;
        auto* connection = new ControlConnection(socket, handler_, timing_.idleTimeout, this);
        connect(connection, &ControlConnection::closed, this, [this] { --clients_; });
    }
}
