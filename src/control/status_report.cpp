#include "control/status_report.h"

#include "base/deliver.h"
#include "control/json_text.h"
#include "discovery/environment_choice.h"
#include "model/app_model.h"
#include "model/project_list.h"
#include "model/service_links.h"
#include "runs/project_runtime.h"

#include <QJsonDocument>
#include <QList>
#include <QPointer>

QString statusName(ProjectStatus::Kind kind)
{
    switch (kind) {
    case ProjectStatus::Kind::stopped: return QStringLiteral("stopped");
    case ProjectStatus::Kind::starting: return QStringLiteral("starting");
    case ProjectStatus::Kind::running: return QStringLiteral("running");
    case ProjectStatus::Kind::error: return QStringLiteral("error");
    }
    return {};
}

namespace {

// One object per binding that reaches another Worker, with the folder of the registered
// project that provides it.
QByteArray bindingsJson(const AppModel& model, const Project& project)
{
    QByteArray out = "[";
    for (const BindingConnection& connection : bindingConnectionsOf(model, project.path)) {
        if (out.size() > 1)
            out += ',';
        JsonObjectText entry(out);
        entry.add("binding", connection.binding);
        if (connection.queue)
            entry.add("queue", *connection.queue);
        if (!connection.worker.isEmpty())
            entry.add("worker", connection.worker);
        entry.add("connected", connection.connected);
        if (const QString path =
                connection.worker.isEmpty() ? QString() : projectOfWorker(model, connection.worker);
            !path.isEmpty() && path != project.path)
            entry.add("path", path);
    }
    return out + ']';
}

} // namespace

QByteArray trafficText(const TrafficSummary& traffic)
{
    QByteArray text;
    {
        JsonObjectText object(text);
        object.add("requests", qint64(traffic.requests));
        object.add("errors", qint64(traffic.errors));
        if (traffic.p50Ms)
            object.add("p50Ms", qint64(*traffic.p50Ms));
        if (traffic.p95Ms)
            object.add("p95Ms", qint64(*traffic.p95Ms));
        object.add("windowSeconds", qint64(TrafficSummary::windowSeconds));
    }
    return text;
}

QList<Project> sidebarOrder(AppModel& model)
{
    QList<Project> favorites;
    QList<Project> active;
    QList<Project> rest;
    for (const Project& project : model.visibleProjects()) {
        if (project.isFavorite())
            favorites.append(project);
        else if (model.runtimeFor(project.path)->status().isActive())
            active.append(project);
        else
            rest.append(project);
    }
    return favorites + active + rest;
}

std::optional<qint32> shownPID(const ProjectRuntime& runtime)
{
    if (runtime.pid())
        return runtime.pid();
    if (runtime.attachedPID())
        return runtime.attachedPID();
    if (!runtime.externalPIDs().isEmpty())
        return runtime.externalPIDs().first();
    return std::nullopt;
}

QHash<QString, QString> displayNames(const QList<Project>& projects)
{
    QHash<QString, int> uses;
    for (const Project& project : projects)
        ++uses[project.name];
    QHash<QString, QString> names;
    names.reserve(projects.size());
    for (const Project& project : projects)
        names.insert(project.path, uses.value(project.name) > 1
                                       ? displayNameAmong(project, projects)
                                       : project.name);
    return names;
}

void appendStatusEntry(QByteArray& out, AppModel& model, const Project& project,
                       const QString& displayName)
{
    const ProjectRuntime& runtime = *model.runtimeFor(project.path);
    const ProjectStatus& status = runtime.status();
    const ProjectInfo* info = model.infoFor(project.path);
    JsonObjectText entry(out);
    entry.add("name", displayName);
    entry.add("path", project.path);
    entry.add("workerName", effectiveWorkerName(project, info));
    if (const std::optional<QString> environment = activeEnvironmentName(project, info))
        entry.add("environment", *environment);
    entry.add("status", statusName(status.kind()));
    if (status.kind() == ProjectStatus::Kind::error)
        entry.add("error", status.message());
    if (runtime.url() && status.isActive())
        entry.add("address", runtime.url()->toString());
    if (status.isActive()) {
        if (const std::optional<qint32> pid = shownPID(runtime))
            entry.add("pid", qint64(*pid));
        if (const std::optional<quint64> memory = runtime.memoryBytes())
            entry.add("memoryBytes", qint64(*memory));
    }
    if (status.kind() == ProjectStatus::Kind::running) {
        entry.addJson("traffic", trafficText(runtime.activity()->traffic()));
        if (const std::optional<double> cpu = runtime.activity()->cpuPercent())
            entry.add("cpuPercent", *cpu);
    }
    entry.add("external",
              (runtime.external() && !runtime.managed()) || runtime.attachedPID().has_value());
    entry.add("favorite", project.isFavorite());
    entry.add("registered", isRegistered(model, project.path));
    entry.addJson("bindings", bindingsJson(model, project));
}

QJsonObject statusEntry(AppModel& model, const Project& project, const QString& displayName)
{
    QByteArray text;
    appendStatusEntry(text, model, project, displayName);
    return QJsonDocument::fromJson(text).object();
}

void buildStatus(AppModel& model, QObject* context, std::function<void(QByteArray)> done)
{
    // A client asking is somebody looking: the traffic of each running server is read first
    // (the model reads a server at most every few seconds, and never one without the endpoint).
    QList<QFuture<void>> trafficReads;
    for (const Project& project : model.projects())
        if (model.runtimeFor(project.path)->status().kind() == ProjectStatus::Kind::running)
            trafficReads.append(model.refreshTraffic(project.path));
    QPointer<AppModel> guardedModel(&model);
    const auto compose = [guardedModel, done = std::move(done)] {
        if (!guardedModel)
            return;
        const QHash<QString, QString> names = displayNames(guardedModel->projects());
        QByteArray entries = "[";
        entries.reserve(256 * names.size());
        for (const Project& project : sidebarOrder(*guardedModel)) {
            if (entries.size() > 1)
                entries += ',';
            appendStatusEntry(entries, *guardedModel, project, names.value(project.path));
        }
        entries += ']';
        done(entries);
    };
    const auto answer = [context, trafficReads, compose] {
        if (std::all_of(trafficReads.begin(), trafficReads.end(),
                        [](const QFuture<void>& read) { return read.isFinished(); })) {
            compose();
            return;
        }
        auto waiting = std::make_shared<qsizetype>(trafficReads.size());
        for (const QFuture<void>& read : trafficReads)
            deliverTo(context, read, [waiting, compose] {
                if (--*waiting == 0)
                    compose();
            });
    };
    // The memory and processor share of every active server, measured now into the run
    // states (demo servers are made up: theirs carry what to show).
    deliverTo(context, model.refreshUsageOfActive(), answer);
}
