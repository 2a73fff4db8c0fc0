// Editing the list of roots and projects: everything except scanning and
// inspection.
#include "base/paths.h"
#include "model/app_model.h"
#include "runs/project_runtime.h"

void AppModel::addRoot(const QString& folder)
{
    const QString root = standardizePath(folder);
    if (root.isEmpty() || roots_.contains(root))
        return;
    setRoots(roots_ + QStringList{root});
    saveRegistry();
    restartWatcher();
    rescan();
}

void AppModel::removeRoot(const QString& root)
{
    QStringList roots = roots_;
    roots.removeAll(root);
    // Projects may name a root that the list no longer holds (a hand-edited registry): they
    // go with it all the same.
    QList<Project> kept;
    QStringList removed;
    for (const Project& project : std::as_const(projects_)) {
        if (project.rootPath == root)
            removed.append(project.path);
        else
            kept.append(project);
    }
    if (roots.size() == roots_.size() && removed.isEmpty())
        return;
    setRoots(roots);
    setProjects(kept);
    dropProjectState(removed);
    saveRegistry();
    restartWatcher();
    repairSelection();
}

void AppModel::removeProject(const QString& path)
{
    const Project* project = mutableProject(path);
    // A project found under a root would come back with the next scan.
    if (!project || project->rootPath)
        return;
    QList<Project> kept = projects_;
    kept.removeAt(indexOfProject(kept, path));
    setProjects(kept);
    dropProjectState({path});
    saveRegistry();
    repairSelection();
}

void AppModel::dropProjectState(const QStringList& paths)
{
    bool infosTouched = false;
    for (const QString& path : paths) {
        // Another project may still use the path when it was registered twice by
        // hand-edit.
        if (indexOfProject(projects_, path) >= 0)
            continue;
        if (ProjectRuntime* runtime = runtimes_.take(path))
            runtime->deleteLater();
        infosTouched |= infos_.remove(path);
    }
    if (infosTouched)
        emit infosChanged();
}

void AppModel::editProject(const QString& path, const std::function<void(Project&)>& edit)
{
    const qsizetype index = indexOfProject(projects_, path);
    if (index < 0)
        return;
    Project changed = projects_[index];
    edit(changed);
    if (changed == projects_[index])
        return;
    projects_[index] = changed;
    emit projectsChanged();
    saveRegistry();
}

void AppModel::setHidden(const QString& path, bool hidden)
{
    if (indexOfProject(projects_, path) < 0)
        return;
    editProject(path, [&](Project& project) { project.hidden = hidden; });
    if (hidden && selection_ == path) {
        // With hidden projects shown this may select the same project again.
        const QList<Project> visible = visibleProjects();
        select(visible.isEmpty() ? std::nullopt : std::optional<QString>(visible.first().path));
    }
}

void AppModel::setFavorite(const QString& path, bool favorite)
{
    // Unmarking removes the value rather than storing false.
    editProject(path, [&](Project& project) {
        project.favorite = favorite ? std::optional<bool>(true) : std::nullopt;
    });
}

void AppModel::setRunModeOverride(const QString& path, std::optional<RunModeKind> mode)
{
    editProject(path, [&](Project& project) { project.runModeOverride = mode; });
}

void AppModel::setCustomCommand(const QString& path, const std::optional<QString>& command)
{
    editProject(path, [&](Project& project) { project.customCommand = command; });
}

void AppModel::setEnvironment(const QString& path, const std::optional<QString>& environment)
{
    std::optional<QString> chosen = environment;
    if (chosen && chosen->isEmpty())
        chosen.reset();
    editProject(path, [&](Project& project) { project.environment = chosen; });
}

void AppModel::setPort(const QString& path, std::optional<int> port)
{
    editProject(path, [&](Project& project) { project.port = port; });
}

void AppModel::setPorts(const QString& path, int port, int inspectorPort)
{
    editProject(path, [&](Project& project) {
        project.port = port;
        project.inspectorPort = inspectorPort;
    });
}
