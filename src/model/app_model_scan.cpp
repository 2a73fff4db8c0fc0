// Rescanning the roots and registering single folders.
#include "base/deliver.h"
#include "base/work_pools.h"
#include "model/app_model.h"
#include "discovery/project_merge.h"
#include "discovery/scan_roots.h"
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

void AppModel::applyScan(const QList<RootScanResult>& results)
{
    // A root removed while it was being scanned must not bring its projects back.
    QList<RootScanResult> current = results;
    current.removeIf(
        [this](const RootScanResult& result) { return !roots_.contains(result.root); });
    ScanMerge merge = mergeScan(projects_, infos_, current);
    for (const QString& path : std::as_const(merge.removedPaths))
        if (ProjectRuntime* runtime = runtimes_.take(path))
            runtime->deleteLater();
    const bool infosDiffer = merge.infos != infos_;
    infos_ = std::move(merge.infos);
    setProjects(merge.projects);
    for (const Project& project : std::as_const(projects_))
        runtimeFor(project.path);
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
    runtimeFor(plan.path);
    saveRegistry();
    select(plan.path);
    // A new project is named after its folder until inspection has read its worker name.
    if (!plan.alreadyRegistered)
        refreshInfo(plan.path);
    return std::nullopt;
}
