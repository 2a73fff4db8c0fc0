// Servers started outside the application (from a terminal): found in the process table in
// the background and shown on the projects' run states.
#include "base/deliver.h"
#include "model/app_model.h"
#include "runs/project_runtime.h"
#include "supervision/external/system_processes.h"

void AppModel::refreshExternal()
{
    refreshExternalThen({});
}

void AppModel::refreshExternalThen(std::function<void()> done)
{
    if (isDemo_) {
        if (done)
            done();
        return;
    }
    // The groups of children started here belong to the application, not to a terminal.
    QSet<qint32> excluded;
    for (const ProjectRuntime* runtime : std::as_const(runtimes_))
        if (runtime->managed() && runtime->pid())
            excluded.insert(*runtime->pid());
    const QFuture<ExternalScan> scanning =
        scanExternalAsync(makeProcessTable(), projects_, excluded);
    deliverTo(this, scanning, [this, done = std::move(done)](const ExternalScan& scan) {
        applyExternalScan(scan);
        if (done)
            done();
    });
}

void AppModel::applyExternalScan(const ExternalScan& scan)
{
    for (const Project& project : std::as_const(projects_)) {
        ProjectRuntime* runtime = runtimeFor(project.path);
        if (!runtime || runtime->managed() ||
            runtime->status().kind() == ProjectStatus::Kind::starting)
            continue;
        const auto found = scan.constFind(project.path);
        if (found == scan.cend()) {
            if (!runtime->external())
                continue;
            // One pass that misses a live server must not stop showing it.
            const QList<qint32>& pids = runtime->externalPIDs();
            if (std::any_of(pids.begin(), pids.end(), &ProjectRuntime::processExists))
                continue;
            runtime->goneOutside();
            continue;
        }
        rememberStartTimes(found->pids);
        runtime->foundOutside(found->pids,
                              found->port
                                  ? std::optional<QUrl>(QUrl(QStringLiteral("http://localhost:") +
                                                             QString::number(*found->port)))
                                  : std::nullopt);
    }

    // Start times are kept only for pids that some run state still shows.
    QSet<qint32> shown;
    for (const ProjectRuntime* runtime : std::as_const(runtimes_))
        for (const qint32 pid : runtime->externalPIDs())
            shown.insert(pid);
    externalStartTimes_.removeIf([&](const auto& entry) { return !shown.contains(entry.key()); });
}
