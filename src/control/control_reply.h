#pragma once

#include <QJsonObject>
#include <QObject>

// The way back to one client for one request. Messages sent after the client has gone are
// dropped; `finish` sends the final answer and may be called once.
class ControlReply : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // A message before the final answer (a log line of `logs`).
    void send(const QJsonObject& message) { emit messageReady(message, false); }
    void finish(const QJsonObject& answer)
    {
        if (finished_)
            return;
        finished_ = true;
        emit messageReady(answer, true);
    }
    bool isFinished() const { return finished_; }

signals:
    void messageReady(const QJsonObject& message, bool final);

private:
    bool finished_ = false;
};
