#include "control/status_report.h"

#include "base/deliver.h"
#include "core/model/app_model.h"
#include "supervision/external/proc_process_table.h"
#include "supervision/external/process_memory.h"
#include "supervision/project_runtime.h"

#include <QPointer>
#include <QtConcurrent>

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

// What the background measurement needs of one server.
struct ServerProcesses
{
    QString path;
    std::optional<qint32> leader;
    QList<qint32> externalPIDs;
};

} // namespace

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

QJsonObject statusEntry(AppModel& model, const Project& project,
                        std::optional<quint64> memoryBytes)
{
    const ProjectRuntime& runtime = *model.runtimeFor(project.path);
    QJsonObject entry{{QStringLiteral("name"), model.displayName(project)},
                      {QStringLiteral("path"), project.path},
                      {QStringLiteral("status"), statusName(runtime.status().kind())},
                      {QStringLiteral("external"), runtime.external() && !runtime.managed()},
                      {QStringLiteral("favorite"), project.isFavorite()}};
    const ProjectInfo* info = model.infoFor(project.path);
    const QString worker = info && info->workerName ? *info->workerName : project.name;
    entry.insert(QStringLiteral("workerName"), worker);
    if (runtime.status().kind() == ProjectStatus::Kind::error)
        entry.insert(QStringLiteral("error"), runtime.status().message());
    if (runtime.url() && runtime.status().isActive())
        entry.insert(QStringLiteral("address"), runtime.url()->toString());
    if (runtime.status().isActive()) {
        if (const std::optional<qint32> pid = shownPID(runtime))
            entry.insert(QStringLiteral("pid"), *pid);
        if (const std::optional<quint64> memory = memoryBytes ? memoryBytes : runtime.memoryBytes())
            entry.insert(QStringLiteral("memoryBytes"), double(*memory));
    }
    return entry;
}

void buildStatus(AppModel& model, QObject* context, std::function<void(QJsonArray)> done)
{
    QList<ServerProcesses> servers;
    for (const Project& project : model.projects()) {
        const ProjectRuntime& runtime = *model.runtimeFor(project.path);
        if (runtime.status().isActive() && (runtime.pid() || !runtime.externalPIDs().isEmpty()))
            servers.append({project.path, runtime.pid(), runtime.externalPIDs()});
    }
    QPointer<AppModel> guardedModel(&model);
    const auto answer = [guardedModel, done](const QHash<QString, quint64>& memory) {
        if (!guardedModel)
            return;
        QJsonArray entries;
        for (const Project& project : sidebarOrder(*guardedModel)) {
            const auto measured = memory.constFind(project.path);
            entries.append(statusEntry(*guardedModel, project,
                                       measured == memory.cend()
                                           ? std::nullopt
                                           : std::optional<quint64>(measured.value())));
        }
        done(entries);
    };
    // Demo servers are made up: their run states carry the memory to show.
    if (servers.isEmpty() || model.isDemo()) {
        answer({});
        return;
    }
    auto makeTable = model.context().processTable;
    const QFuture<QHash<QString, quint64>> measuring =
        QtConcurrent::run([servers, makeTable]() -> QHash<QString, quint64> {
            const std::unique_ptr<ProcessTable> table =
                makeTable ? makeTable() : std::make_unique<ProcProcessTable>();
            QHash<QString, quint64> memory;
            for (const ServerProcesses& server : servers)
                memory.insert(server.path,
                              memoryOfServer(*table, server.leader, server.externalPIDs));
            return memory;
        });
    deliverTo(context, measuring, answer);
}
