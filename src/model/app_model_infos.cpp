// Inspection records: refreshed in the background on copies, applied on the main thread.
#include "base/deliver.h"
#include "base/work_pools.h"
#include "model/app_model.h"
#include "discovery/project_merge.h"
#include "discovery/project_reader.h"

#include <QtConcurrent>

void AppModel::refreshInfo(const QString& path)
{
    refreshInfoThen(path, {});
}

void AppModel::refreshInfoThen(const QString& path, std::function<void()> done)
{
    const std::optional<Project> project = findProject(path);
    if (isDemo_ || !project) {
        if (done)
            done();
        return;
    }
    const QFuture<ProjectInfo> inspecting = QtConcurrent::run(
        WorkPools::shortWork(), [copy = *project] { return inspectProject(copy); });
    deliverTo(this, inspecting, [this, path, done = std::move(done)](const ProjectInfo& info) {
        applyInfos({{path, info}});
        if (done)
            done();
    });
}

void AppModel::inspectAll(std::function<void()> done)
{
    // Demo projects are made up: there is nothing on disk to inspect.
    if (isDemo_) {
        if (done)
            done();
        return;
    }
    using Results = QList<QPair<QString, ProjectInfo>>;
    const QFuture<Results> inspecting = QtConcurrent::run(
        WorkPools::shortWork(), [snapshot = projects_] { return inspectProjects(snapshot); });
    deliverTo(this, inspecting, [this, done = std::move(done)](const Results& results) {
        applyInfos(results);
        if (done)
            done();
    });
}

void AppModel::applyInfos(const QList<QPair<QString, ProjectInfo>>& results)
{
    QList<Project> projects = projects_;
    ProjectInfoMap infos = infos_;
    const bool renamed = applyInfoResults(projects, infos, results);
    setInfos(infos);
    if (renamed) {
        setProjects(projects);
        saveRegistry();
    }
}
