#include "control/project_operation.h"

#include "control/control_reply.h"
#include "control/status_report.h"
#include "model/app_model.h"
#include "runs/project_runtime.h"

#include <QJsonArray>
#include <QTimer>

#include <algorithm>

using Kind = ProjectStatus::Kind;

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
    for (Item& item : items_) {
        ProjectRuntime* runtime = model_.runtimeFor(item.path);
        connect(runtime, &ProjectRuntime::statusChanged, this, [this] { evaluate(); });
        connect(runtime, &ProjectRuntime::externalChanged, this, [this] { evaluate(); });
        connect(runtime, &ProjectRuntime::managedChanged, this, [this] { evaluate(); });
    }
    // A start that inspects the project first goes on right after the record is applied.
    connect(
        &model_, &AppModel::infosChanged, this, [this] { evaluate(); }, Qt::QueuedConnection);
    connect(&model_, &AppModel::projectsChanged, this, [this] { evaluate(); });

    for (Item& item : items_)
        act(item);
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

void ProjectOperation::act(Item& item)
{
    ProjectRuntime* runtime = model_.runtimeFor(item.path);
    const bool elsewhere = runtime->external() && !runtime->managed();
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
    switch (command_) {
    case ControlCommand::start: model_.startProject(item.path); break;
    case ControlCommand::stop:
        if (confirmed_)
            model_.stopProjectConfirmed(item.path);
        else
            model_.stopProject(item.path);
        break;
    case ControlCommand::restart:
        // The window offers a restart only while a server runs; a stopped project just starts.
        if (!runtime->status().isActive() && !runtime->managed()) {
            item.startOnly = true;
            model_.startProject(item.path);
        } else if (confirmed_)
            model_.restartProjectConfirmed(item.path);
        else
            model_.restartProject(item.path);
        break;
    default: break;
    }
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
    if (!model_.findProject(item.path)) {
        settle(item, false, QStringLiteral("the project was removed"));
        return;
    }
    const ProjectRuntime* runtime = model_.runtimeFor(item.path);
    const ProjectStatus& status = runtime->status();
    if (command_ == ControlCommand::stop) {
        if (!status.isActive() && !runtime->managed() && !runtime->external())
            settle(item, true);
        return;
    }
    // A start or restart: settled once a start has run and ended up running or failed. A start
    // that was refused (or whose inspection has come back) shows its error at once.
    if (status.kind() == Kind::starting)
        item.begun = true;
    const bool startOnly = item.startOnly || command_ == ControlCommand::start;
    const bool startRan =
        item.begun || (startOnly && (model_.infoFor(item.path) || model_.isDemo()));
    switch (status.kind()) {
    case Kind::running:
        // A server may announce its address before its start is recorded with its pid.
        if ((item.begun || startOnly) &&
            (runtime->managed() || runtime->external() || model_.isDemo()))
            settle(item, true);
        break;
    case Kind::error:
        if (startRan)
            settle(item, false, status.message());
        break;
    case Kind::stopped:
        if (item.begun)
            settle(item, false, QStringLiteral("the server exited"));
        break;
    case Kind::starting: break;
    }
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
