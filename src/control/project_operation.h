#pragma once

#include "control/control_protocol.h"

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>

#include <chrono>

class AppModel;
class ControlReply;
class QTimer;

// A start, stop or restart of one or more projects for a client, done through the model's own
// operations as the window's buttons do. With `wait` it answers once every project has
// settled, as the futures of the model's start and stop tell (running or failed for a start;
// stopped for a stop), else at once. A stop or restart
// of a server started elsewhere goes ahead only when the request says `yes`; otherwise its
// result carries the window's confirmation text.
class ProjectOperation : public QObject
{
    Q_OBJECT

public:
    ProjectOperation(AppModel& model, ControlCommand command, const QStringList& paths, bool wait,
                     bool confirmed, std::chrono::milliseconds settleLimit, ControlReply* reply);

    // Starts the work; the reply is finished when it is done.
    void run();

private:
    struct Item
    {
        QString path;
        bool settled = false;
        QJsonObject result;
    };

    void act(qsizetype index);
    void evaluate();
    void evaluate(Item& item);
    // After the model's stop has resolved: ok when no server is left.
    void stopOver(Item& item);
    void settle(Item& item, bool ok, const QString& error = {});
    void finishIfDone();
    void giveUp();

    AppModel& model_;
    ControlCommand command_;
    bool wait_;
    bool confirmed_;
    ControlReply* reply_;
    QTimer* limit_;
    QList<Item> items_;
};
