// Rescanning the roots and registering single folders.
#include "base/deliver.h"
#include "base/work_pools.h"
#include "discovery/project_merge.h"
#include "discovery/scan_roots.h"
#include "model/app_model.h"
#include "runs/project_runtime.h"

#include <QtConcurrent>

void AppModel::rescan()
{
    // A request while a scan runs is dropped, not queued. In demo mode the roots are sample
    // paths: walking them would replace the demo projects with whatever the disk holds.
    if (isScanning_ || isDemo_)
        return;
    setIsScanning(true);
    const QFuture<QList<RootScanResult>> scanning =
        QtConcurrent::run(WorkPools::shortWork(), [roots = roots_] { return scanRoots(roots); });
    deliverTo(this, scanning, [this](const QList<RootScanResult>& results) {
        applyScan(results);
        setIsScanning(false);
        refreshExternal();
    });
}

namespace {

QString configurationGone(const QString& configFile)
{
    return (configFile.isEmpty() ? QStringLiteral("The configuration file") : configFile) +
           QStringLiteral(" is gone from this folder. The project stays listed while its dev "
                          "server runs and leaves the list once the server has stopped.");
}

} // namespace

void AppModel::applyScan(const QList<RootScanResult>& results)
{
    // A root removed while it was being scanned must not bring its projects back.
    QList<RootScanResult> current = results;
    current.removeIf(
        [this](const RootScanResult& result) { return !roots_.contains(result.root); });
    // A project whose server runs here is never lost: it stays until that server has ended.
    QSet<QString> running;
    for (const Project& project : std::as_const(projects_))
        if (hasServerHere(project.path))
            running.insert(project.path);
    ScanMerge merge = mergeScan(projects_, infos_, current, running);
    for (const QString& path : std::as_const(merge.removedPaths))
        if (ProjectRuntime* runtime = runtimes_.take(path))
            runtime->deleteLater();
    // Found again under a root that is still listed: nothing is pending any more.
    for (const Project& project : std::as_const(merge.projects))
        if (project.rootPath && roots_.contains(*project.rootPath) &&
            !merge.heldPaths.contains(project.path))
            pendingRemoval_.remove(project.path);
    for (const QString& path : std::as_const(merge.heldPaths)) {
        pendingRemoval_.insert(path);
        const qsizetype index = indexOfProject(merge.projects, path);
        merge.infos[path].parseError = configurationGone(merge.projects[index].configFile);
    }
    const bool infosDiffer = merge.infos != infos_;
    infos_ = std::move(merge.infos);
    setProjects(merge.projects);
    for (const Project& project : std::as_const(projects_))
        ensureRunState(project.path);
    if (infosDiffer)
        emit infosChanged();
    saveRegistry();
    emit scanApplied();
    scheduleSelectionRepair();
}

std::optional<QString> AppModel::addProject(const QString& folder)
{
    QList<Project> projects = projects_;
    const AddProjectPlan plan = addProjectFolder(projects, folder);
    if (plan.refusal)
        return plan.refusal;
    setProjects(projects);
    ensureRunState(plan.path);
    saveRegistry();
    select(plan.path);
    // A new project is named after its folder until inspection has read its worker name.
    if (!plan.alreadyRegistered)
        refreshInfo(plan.path);
    return std::nullopt;
}
