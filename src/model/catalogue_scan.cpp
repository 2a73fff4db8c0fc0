// Rescanning the roots, inspecting projects and watching the roots, in the background, with
// the results applied on the main thread.
#include "base/deliver.h"
#include "base/work_pools.h"
#include "discovery/project_merge.h"
#include "model/catalogue.h"
#include "model/project_list.h"

#include <QPointer>
#include <QtConcurrent>

namespace {

QString configurationGone(const QString& configFile)
{
    return (configFile.isEmpty() ? QStringLiteral("The configuration file") : configFile) +
           QStringLiteral(" is gone from this folder. The project stays listed while its dev "
                          "server runs and leaves the list once the server has stopped.");
}

QFuture<void> readyFuture()
{
    QPromise<void> promise;
    promise.start();
    promise.finish();
    return promise.future();
}

} // namespace

void Catalogue::rescan()
{
    // A request while a scan runs is dropped, not queued.
    if (isScanning_)
        return;
    setIsScanning(true);
    const QFuture<QList<RootScanResult>> scanning =
        QtConcurrent::run(WorkPools::shortWork(), [scan = context_.services.scanRoots,
                                                   roots = roots_] { return scan(roots); });
    deliverTo(this, scanning, [this](const QList<RootScanResult>& results) {
        applyScan(results);
        setIsScanning(false);
    });
}

void Catalogue::applyScan(const QList<RootScanResult>& results)
{
    // A root removed while it was being scanned must not bring its projects back.
    QList<RootScanResult> current = results;
    current.removeIf(
        [this](const RootScanResult& result) { return !roots_.contains(result.root); });
    // A project whose server runs here is never lost: it stays until that server has ended.
    QSet<QString> running;
    for (const Project& project : std::as_const(projects_))
        if (serverRuns_(project.path))
            running.insert(project.path);
    ScanMerge merge = mergeScan(projects_, infos_, current, running);
    // Found again under a root that is still listed: nothing is pending any more.
    for (const Project& project : std::as_const(merge.projects))
        if (project.rootPath && roots_.contains(*project.rootPath) &&
            !merge.heldPaths.contains(project.path))
            leaving_.remove(project.path);
    for (const QString& path : std::as_const(merge.heldPaths)) {
        leaving_.insert(path);
        const qsizetype index = indexOfProject(merge.projects, path);
        merge.infos[path].parseError = configurationGone(merge.projects[index].configFile);
    }
    const bool infosDiffer = merge.infos != infos_;
    infos_ = std::move(merge.infos);
    setProjects(merge.projects);
    if (infosDiffer)
        emit infosChanged();
    save();
    emit scanApplied();
}

QFuture<void> Catalogue::refreshInfo(const QString& path)
{
    const std::optional<Project> project = findProject(path);
    if (!project)
        return readyFuture();
    using Results = QList<QPair<QString, ProjectInfo>>;
    const QFuture<Results> inspecting =
        QtConcurrent::run(WorkPools::shortWork(), [inspect = context_.services.inspectProjects,
                                                   copy = *project] { return inspect({copy}); });
    auto applied = std::make_shared<QPromise<void>>();
    applied->start();
    deliverTo(this, inspecting, [this, applied](const Results& results) {
        applyInfos(results);
        applied->finish();
    });
    return applied->future();
}

QFuture<void> Catalogue::inspectAll()
{
    using Results = QList<QPair<QString, ProjectInfo>>;
    const QFuture<Results> inspecting = QtConcurrent::run(
        WorkPools::shortWork(), [inspect = context_.services.inspectProjects,
                                 snapshot = projects_] { return inspect(snapshot); });
    auto applied = std::make_shared<QPromise<void>>();
    applied->start();
    deliverTo(this, inspecting, [this, applied](const Results& results) {
        applyInfos(results);
        applied->finish();
    });
    return applied->future();
}

void Catalogue::applyInfos(const QList<QPair<QString, ProjectInfo>>& results)
{
    QList<Project> projects = projects_;
    ProjectInfoMap infos = infos_;
    const bool renamed = applyInfoResults(projects, infos, results);
    setInfos(infos);
    if (renamed) {
        setProjects(projects);
        save();
    }
}

void Catalogue::restartWatcher(bool watch)
{
    watching_ = watch;
    // A fresh watcher every time: a rescan the old one had pending is dropped with it.
    watcher_.reset();
    if (!watch || roots_.isEmpty())
        return;
    QPointer<Catalogue> catalogue(this);
    watcher_ = std::make_unique<RootWatcher>(
        roots_,
        [catalogue] {
            if (catalogue)
                catalogue->rescan();
        },
        nullptr, context_.watcherTiming);
}
