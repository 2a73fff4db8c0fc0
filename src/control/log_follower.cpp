#include "control/log_follower.h"

#include "control/control_protocol.h"
#include "control/control_reply.h"
#include "control/status_report.h"
#include "runs/project_runtime.h"

#include <QTimer>

LogFollower::LogFollower(ProjectRuntime* runtime, int lastLines, bool follow, ControlReply* reply)
    : QObject(reply), runtime_(runtime), reply_(reply)
{
    const QList<LogLine>& lines = runtime->log()->lines();
    const qsizetype first = qMax<qsizetype>(0, lines.size() - lastLines);
    nextID_ = first < lines.size() ? lines[first].id : runtime->log()->nextID();
    sendNewLines();
    if (!follow || !runtime->status().isActive()) {
        finish();
        return;
    }
    connect(runtime->log(), &LogBuffer::linesChanged, this, &LogFollower::sendNewLines);
    // The exit's own log line arrives right before the status changes: send it first.
    connect(runtime, &ProjectRuntime::statusChanged, this, &LogFollower::checkStatus,
            Qt::QueuedConnection);
    connect(runtime, &QObject::destroyed, this, &LogFollower::finish);
}

void LogFollower::sendNewLines()
{
    if (!runtime_)
        return;
    const QList<LogLine>& lines = runtime_->log()->lines();
    // Ids increase in order: walk back to the first unsent line.
    qsizetype index = lines.size();
    while (index > 0 && lines[index - 1].id >= nextID_)
        --index;
    for (; index < lines.size(); ++index) {
        QJsonObject message{{QStringLiteral("line"), lines[index].text}};
        if (lines[index].isError)
            message.insert(QStringLiteral("stderr"), true);
        reply_->send(message);
    }
    nextID_ = runtime_->log()->nextID();
}

void LogFollower::checkStatus()
{
    if (runtime_ && !runtime_->status().isActive())
        finish();
}

void LogFollower::finish()
{
    if (reply_->isFinished())
        return;
    sendNewLines();
    QJsonObject answer = ControlAnswer::success();
    if (runtime_) {
        answer.insert(QStringLiteral("status"), statusName(runtime_->status().kind()));
        if (!runtime_->status().message().isEmpty())
            answer.insert(QStringLiteral("message"), runtime_->status().message());
    }
    reply_->finish(answer);
}
