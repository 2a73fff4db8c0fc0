#include "discovery/project_merge.h"

#include "base/paths.h"
#include "discovery/root_scan.h"

#include <QSet>

namespace {

Project* findByPath(QList<Project>& projects, const QString& path)
{
    for (Project& project : projects)
        if (project.path == path)
            return &project;
    return nullptr;
}

} // namespace

ScanMerge mergeScan(const QList<Project>& projects, const ProjectInfoMap& infos,
                    const QList<RootScanResult>& results, const QSet<QString>& held)
{
    ScanMerge merge{projects, infos, {}, {}};
    QSet<QString> seen;
    QSet<QString> scannedRoots;
    for (const RootScanResult& result : results) {
        scannedRoots.insert(result.root);
        for (const auto& [config, info] : result.found) {
            const QString folder = standardizePath(config.dir);
            seen.insert(folder);
            merge.infos.insert(folder, info);
            const QString name = info.workerName.value_or(lastPathComponent(folder));
            if (Project* known = findByPath(merge.projects, folder)) {
                known->configFile = config.file;
                known->name = name;
                continue;
            }
            Project added;
            added.path = folder;
            added.configFile = config.file;
            added.name = name;
            added.rootPath = result.root;
            merge.projects.append(added);
        }
    }

    QList<Project> kept;
    kept.reserve(merge.projects.size());
    QSet<QString> keptPaths;
    for (const Project& project : std::as_const(merge.projects)) {
        const bool vanished = project.rootPath && scannedRoots.contains(*project.rootPath) &&
                              !seen.contains(project.path);
        if (vanished && !held.contains(project.path)) {
            merge.removedPaths.append(project.path);
            continue;
        }
        if (vanished)
            merge.heldPaths.append(project.path);
        kept.append(project);
        keptPaths.insert(project.path);
    }
    merge.projects = kept;
    for (auto it = merge.infos.begin(); it != merge.infos.end();)
        it = keptPaths.contains(it.key()) ? std::next(it) : merge.infos.erase(it);
    return merge;
}

bool applyInfoResults(QList<Project>& projects, ProjectInfoMap& infos,
                      const QList<QPair<QString, ProjectInfo>>& results)
{
    bool renamed = false;
    for (const auto& [path, info] : results) {
        Project* project = findByPath(projects, path);
        if (!project)
            continue; // removed while it was being inspected
        infos.insert(path, info);
        if (info.workerName && *info.workerName != project->name) {
            project->name = *info.workerName;
            renamed = true;
        }
    }
    return renamed;
}

AddProjectPlan addProjectFolder(QList<Project>& projects, const QString& folder)
{
    AddProjectPlan plan;
    plan.path = standardizePath(folder);
    const std::optional<DiscoveredConfig> config = findConfig(plan.path);
    if (!config) {
        plan.refusal = noConfigMessage;
        return plan;
    }
    if (Project* known = findByPath(projects, plan.path)) {
        known->hidden = false;
        plan.alreadyRegistered = true;
        return plan;
    }
    Project added;
    added.path = plan.path;
    added.configFile = config->file;
    added.name = lastPathComponent(plan.path);
    projects.append(added);
    return plan;
}
