#pragma once

#include "control/control_protocol.h"

#include <QByteArray>
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
    void send(const QJsonObject& message) { emit lineReady(ControlAnswer::encode(message), false); }
    void finish(const QJsonObject& answer) { finishWithLine(ControlAnswer::encode(answer)); }
    // The final answer, already encoded as one line.
    void finishWithLine(const QByteArray& line)
    {
        if (finished_)
            return;
        finished_ = true;
        emit lineReady(line, true);
    }
    bool isFinished() const { return finished_; }

signals:
    void lineReady(const QByteArray& line, bool final);

private:
    bool finished_ = false;
};
