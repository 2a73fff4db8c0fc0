#include "control/project_operation.h"

#include "base/deliver.h"
#include "control/control_reply.h"
#include "control/status_report.h"
#include "model/app_model.h"
#include "runs/project_runtime.h"

#include <QJsonArray>
#include <QTimer>

#include <algorithm>

ProjectOperation::ProjectOperation(AppModel& model, ControlCommand command,
                                   const QStringList& paths, bool wait, bool confirmed,
                                   std::chrono::milliseconds settleLimit, ControlReply* reply)
    : QObject(reply), model_(model), command_(command), wait_(wait), confirmed_(confirmed),
      reply_(reply), limit_(new QTimer(this))
{
    for (const QString& path : paths)
        if (std::none_of(items_.cbegin(), items_.cend(),
                         [&](const Item& item) { return item.path == path; })) {
            Item item;
            item.path = path;
            items_.append(item);
        }
    limit_->setSingleShot(true);
    limit_->setInterval(settleLimit);
    connect(limit_, &QTimer::timeout, this, &ProjectOperation::giveUp);
}

void ProjectOperation::run()
{
    // Each item is over when its stop or start says so; a project removed meanwhile is over
    // at once.
    connect(&model_, &AppModel::projectsChanged, this, [this] { evaluate(); });

    for (qsizetype index = 0; index < items_.size(); ++index)
        act(index);
    if (!wait_) {
        for (Item& item : items_)
            if (!item.settled)
                settle(item, true);
        finishIfDone();
        return;
    }
    limit_->start();
    evaluate();
}

void ProjectOperation::act(qsizetype index)
{
    Item& item = items_[index];
    const ProjectRuntime* runtime = model_.runtimeFor(item.path);
    if (!runtime) {
        settle(item, false, QStringLiteral("the project was removed"));
        return;
    }
    // A start that found the server already running attaches to it while the child that said so
    // is still ending: that server runs elsewhere too, and stopping it needs the same yes.
    const bool elsewhere =
        (runtime->external() && !runtime->managed()) || runtime->attachedPID().has_value();
    const bool stopsSomething =
        command_ == ControlCommand::stop ||
        (command_ == ControlCommand::restart && runtime->status().isActive());
    if (stopsSomething && elsewhere && !confirmed_) {
        const Alert question =
            model_.externalStopQuestion(item.path, command_ == ControlCommand::restart);
        item.result.insert(QStringLiteral("confirm"),
                           question.message + u' ' + question.informativeText);
        settle(item, false, question.message);
        return;
    }
    QFuture<StartOutcome> outcome;
    switch (command_) {
    case ControlCommand::start: outcome = model_.startProject(item.path); break;
    case ControlCommand::stop: {
        const QFuture<void> stopped =
            confirmed_ ? model_.stopProjectConfirmed(item.path) : model_.stopProject(item.path);
        if (wait_)
            deliverTo(this, stopped, [this, index] {
                Item& awaited = items_[index];
                if (!awaited.settled)
                    stopOver(awaited);
                finishIfDone();
            });
        return;
    }
    case ControlCommand::restart:
        // The window offers a restart only while a server runs; a stopped project just starts.
        if (!runtime->status().isActive() && !runtime->managed())
            outcome = model_.startProject(item.path);
        else if (confirmed_)
            outcome = model_.restartProjectConfirmed(item.path);
        else
            outcome = model_.restartProject(item.path);
        break;
    default: return;
    }
    if (!wait_)
        return;
    // The operation is the watcher's context: an outcome after the reply has gone is dropped.
    deliverTo(this, outcome, [this, index](const StartOutcome& result) {
        Item& awaited = items_[index];
        if (awaited.settled)
            return;
        if (!model_.findProject(awaited.path))
            settle(awaited, false, QStringLiteral("the project was removed"));
        else
            settle(awaited, result.ok, result.error);
        finishIfDone();
    });
}

void ProjectOperation::evaluate()
{
    for (Item& item : items_)
        if (!item.settled)
            evaluate(item);
    finishIfDone();
}

void ProjectOperation::evaluate(Item& item)
{
    const ProjectRuntime* runtime = model_.runtimeFor(item.path);
    if (!model_.findProject(item.path) || !runtime) {
        settle(item, false, QStringLiteral("the project was removed"));
        return;
    }
}

void ProjectOperation::stopOver(Item& item)
{
    const ProjectRuntime* runtime = model_.runtimeFor(item.path);
    if (!model_.findProject(item.path) || !runtime)
        settle(item, false, QStringLiteral("the project was removed"));
    else if (runtime->status().isActive() || runtime->managed() || runtime->external())
        settle(item, false, QStringLiteral("still running; gave up waiting"));
    else
        settle(item, true);
}

void ProjectOperation::settle(Item& item, bool ok, const QString& error)
{
    item.settled = true;
    const std::optional<Project> project = model_.findProject(item.path);
    if (project) {
        const QJsonObject entry = statusEntry(model_, *project, model_.displayName(*project));
        for (auto field = entry.begin(); field != entry.end(); ++field)
            item.result.insert(field.key(), field.value());
    } else
        item.result.insert(QStringLiteral("path"), item.path);
    item.result.insert(QStringLiteral("ok"), ok);
    if (!ok)
        item.result.insert(QStringLiteral("error"), error);
}

void ProjectOperation::finishIfDone()
{
    if (std::any_of(items_.cbegin(), items_.cend(), [](const Item& item) { return !item.settled; }))
        return;
    limit_->stop();
    QJsonArray results;
    bool allOk = true;
    for (const Item& item : std::as_const(items_)) {
        results.append(item.result);
        allOk = allOk && item.result.value(QStringLiteral("ok")).toBool();
    }
    QJsonObject answer = ControlAnswer::success({{QStringLiteral("results"), results}});
    if (!allOk) {
        answer.insert(QStringLiteral("ok"), false);
        answer.insert(QStringLiteral("kind"), QStringLiteral("failed"));
    }
    reply_->finish(answer);
}

void ProjectOperation::giveUp()
{
    for (Item& item : items_)
        if (!item.settled)
            settle(item, false,
                   command_ == ControlCommand::stop
                       ? QStringLiteral("still running; gave up waiting")
                       : QStringLiteral("still starting; gave up waiting"));
    finishIfDone();
}
