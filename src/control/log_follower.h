#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class ControlReply;
class ProjectRuntime;

// Sends the last lines of a project's log to a client, one "line" message each, then with
// `follow` every new line until the server is no longer active (stopped or failed); the final
// answer says how it ended.
class LogFollower : public QObject
{
    Q_OBJECT

public:
    LogFollower(ProjectRuntime* runtime, int lastLines, bool follow, ControlReply* reply);

private:
    void sendNewLines();
    void checkStatus();
    void finish();

    QPointer<ProjectRuntime> runtime_;
    ControlReply* reply_;
    qint64 nextID_ = 0;
};
