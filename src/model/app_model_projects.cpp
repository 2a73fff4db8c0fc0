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
    QStringList removed;
    for (const Project& project : std::as_const(projects_))
        if (project.rootPath == root)
            removed.append(project.path);
    if (roots.size() == roots_.size() && removed.isEmpty())
        return;
    setRoots(roots);
    // Without its root, a scan leaves the projects alone: those whose server is being stopped
    // stay listed until it has ended.
    QStringList now;
    for (const QString& path : std::as_const(removed)) {
        if (hasServerHere(path)) {
            pendingRemoval_.insert(path);
            stopProject(path);
        } else {
            now.append(path);
        }
    }
    dropProjects([&](const Project& project) {
        return project.rootPath == root && now.contains(project.path);
    });
    restartWatcher();
}

void AppModel::removeProject(const QString& path)
{
    const Project* project = mutableProject(path);
    // A project found under a root would come back with the next scan.
    if (!project || project->rootPath)
        return;
    if (hasServerHere(path)) {
        pendingRemoval_.insert(path);
        stopProject(path);
        return;
    }
    bool first = true;
    dropProjects([&](const Project& project) {
        return project.path == path && !project.rootPath && std::exchange(first, false);
    });
}

void AppModel::finishPendingRemoval(const QString& path)
{
    if (!hasServerHere(path) && pendingRemoval_.remove(path))
        dropProjects([&](const Project& project) { return project.path == path; });
}

void AppModel::dropProjects(const std::function<bool(const Project&)>& leaves)
{
    QList<Project> kept;
    QStringList removed;
    for (const Project& project : std::as_const(projects_)) {
        if (leaves(project))
            removed.append(project.path);
        else
            kept.append(project);
    }
    setProjects(kept);
    dropProjectState(removed);
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
        pendingRemoval_.remove(path);
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
