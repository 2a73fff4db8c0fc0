#include "ui/desktop/server_event_notifier.h"

#include "model/app_model.h"
#include "runs/project_runtime.h"

ServerEventNotifier::ServerEventNotifier(
    AppModel& model, std::function<bool()> windowShown,
    std::function<void(const QString&, const QString&, const QString&)> send, QObject* parent)
    : QObject(parent), model_(model), windowShown_(std::move(windowShown)), send_(std::move(send))
{
    connect(&model_, &AppModel::projectsChanged, this, &ServerEventNotifier::watchRuntimes);
    watchRuntimes();
}

void ServerEventNotifier::watchRuntimes()
{
    delete watch_;
    watch_ = new QObject(this);
    for (const Project& project : model_.projects()) {
        const QString path = project.path;
        ProjectRuntime* runtime = model_.runtimeFor(path);
        wasError_.insert(path, runtime->status().kind() == ProjectStatus::Kind::error);
        connect(runtime, &ProjectRuntime::statusChanged, watch_,
                [this, path] { statusChanged(path); });
        connect(runtime, &ProjectRuntime::portConflictChanged, watch_,
                [this, path] { portConflictChanged(path); });
    }
}

void ServerEventNotifier::statusChanged(const QString& path)
{
    const ProjectStatus& status = model_.runtimeFor(path)->status();
    const bool isError = status.kind() == ProjectStatus::Kind::error;
    const bool wasError = wasError_.value(path);
    wasError_.insert(path, isError);
    // A new start is a new run: its events may be told again.
    if (status.kind() == ProjectStatus::Kind::starting)
        told_.remove(path);
    if (isError && !wasError)
        tell(path, QStringLiteral("error"), status.message());
}

void ServerEventNotifier::portConflictChanged(const QString& path)
{
    const std::optional<PortConflict>& conflict = model_.runtimeFor(path)->portConflict();
    if (!conflict)
        return;
    QString body = QStringLiteral("Port ") + QString::number(conflict->port) +
                   QStringLiteral(" is already in use");
    if (conflict->ownerName)
        body += QStringLiteral(" by ") + *conflict->ownerName;
    tell(path, QStringLiteral("port"), body + u'.');
}

void ServerEventNotifier::tell(const QString& path, const QString& event, const QString& body)
{
    if (windowShown_())
        return;
    QSet<QString>& told = told_[path];
    if (told.contains(event))
        return;
    told.insert(event);
    const std::optional<Project> project = model_.findProject(path);
    if (project)
        send_(path, model_.displayName(*project), body);
}
