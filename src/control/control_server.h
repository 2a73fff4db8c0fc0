#pragma once

#include "control/control_connection.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <sys/types.h>

class QLocalServer;

// Time limits of the control socket.
struct ControlServerTiming
{
    // A client that sends no complete request for this long is dropped.
    std::chrono::milliseconds idleTimeout{10000};
};

// The running instance's control socket: accepts clients of the same user only, at most
// `maxClients` at once, and hands their requests to the handler on the main thread.
class ControlServer : public QObject
{
    Q_OBJECT

public:
    static constexpr int maxClients = 256;

    ControlServer(ControlConnection::Handler handler, ControlServerTiming timing = {},
                  QObject* parent = nullptr);
    ~ControlServer() override;

    // Listens at `socketPath`, readable and writable by the owner only. A socket file left by
    // an instance that died is replaced, so call it only while holding the instance lock.
    // Returns the reason on failure.
    std::optional<QString> listen(const QString& socketPath);
    QString socketPath() const;

    int clientCount() const { return clients_; }
    // The user whose clients are served; the effective user unless a test says otherwise.
    void setAllowedUser(uid_t user) { allowedUser_ = user; }

private:
    void acceptClients();

    ControlConnection::Handler handler_;
    ControlServerTiming timing_;
    QLocalServer* server_;
    uid_t allowedUser_;
    int clients_ = 0;
};
