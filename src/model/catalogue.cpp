// The catalogue's lists of roots and projects and the edits of them.
#include "model/catalogue.h"

#include "base/change_only.h"
#include "base/paths.h"
#include "discovery/project_merge.h"
#include "model/project_list.h"

Catalogue::Catalogue(const AppModelContext& context, ServerQuestion serverRuns, QObject* parent)
    : QObject(parent), context_(context), serverRuns_(std::move(serverRuns))
{}

Catalogue::~Catalogue() = default;

const ProjectInfo* Catalogue::infoFor(const QString& path) const
{
    const auto found = infos_.constFind(path);
    return found == infos_.cend() ? nullptr : &found.value();
}

std::optional<Project> Catalogue::findProject(const QString& path) const
{
    const qsizetype index = indexOfProject(projects_, path);
    if (index < 0)
        return std::nullopt;
    return projects_[index];
}

QString Catalogue::displayName(const Project& project) const
{
    return displayNameAmong(project, projects_);
}

void Catalogue::load(const Registry& registry)
{
    roots_ = registry.roots;
    projects_ = registry.projects;
}

void Catalogue::setRoots(const QStringList& roots)
{
    if (assignIfChanged(roots_, roots))
        emit rootsChanged();
}

void Catalogue::setProjects(const QList<Project>& projects)
{
    if (assignIfChanged(projects_, projects))
        emit projectsChanged();
}

void Catalogue::setInfos(const ProjectInfoMap& infos)
{
    if (assignIfChanged(infos_, infos))
        emit infosChanged();
}

void Catalogue::setIsScanning(bool scanning)
{
    if (assignIfChanged(isScanning_, scanning))
        emit isScanningChanged();
}

void Catalogue::show(const QStringList& roots, const QList<Project>& projects,
                     const ProjectInfoMap& infos)
{
    // Inspection records first: a view that follows the project list finds them in place.
    setInfos(infos);
    setProjects(projects);
    setRoots(roots);
}

void Catalogue::save() const
{
    context_.services.saveRegistry(Registry{roots_, projects_});
}

void Catalogue::addRoot(const QString& folder)
{
    const QString root = standardizePath(folder);
    if (root.isEmpty() || roots_.contains(root))
        return;
    setRoots(roots_ + QStringList{root});
    save();
    restartWatcher(watching_);
    rescan();
}

void Catalogue::removeRoot(const QString& root, const QStringList& stopping)
{
    QStringList roots = roots_;
    roots.removeAll(root);
    // Projects may name a root that the list no longer holds (a hand-edited registry): they
    // go with it all the same.
    const bool anyProject = std::any_of(projects_.cbegin(), projects_.cend(),
                                        [&](const Project& p) { return p.rootPath == root; });
    if (roots.size() == roots_.size() && !anyProject)
        return;
    setRoots(roots);
    // Without its root, a scan leaves a project alone: those whose server is being stopped
    // stay listed until it has ended.
    for (const QString& path : stopping)
        leaving_.insert(path);
    dropProjects([&](const Project& project) {
        return project.rootPath == root && !stopping.contains(project.path);
    });
    restartWatcher(watching_);
}

Catalogue::Added Catalogue::addProject(const QString& folder)
{
    QList<Project> projects = projects_;
    const AddProjectPlan plan = addProjectFolder(projects, folder);
    if (plan.refusal)
        return {plan.refusal, {}, false};
    setProjects(projects);
    save();
    return {std::nullopt, plan.path, plan.alreadyRegistered};
}

void Catalogue::removeProject(const QString& path)
{
    bool first = true;
    dropProjects([&](const Project& project) {
        return project.path == path && !project.rootPath && std::exchange(first, false);
    });
}

void Catalogue::leaveWhenStopped(const QString& path)
{
    leaving_.insert(path);
}

bool Catalogue::finishLeaving(const QString& path)
{
    if (serverRuns_(path) || !leaving_.remove(path))
        return false;
    dropProjects([&](const Project& project) { return project.path == path; });
    return true;
}

void Catalogue::dropProjects(const std::function<bool(const Project&)>& leaves)
{
    QList<Project> kept;
    QStringList removed;
    for (const Project& project : std::as_const(projects_)) {
        if (leaves(project))
            removed.append(project.path);
        else
            kept.append(project);
    }
    // Records go first: a view that follows the project list finds none for a removed one.
    bool infosTouched = false;
    for (const QString& path : std::as_const(removed)) {
        // Another project may still use the path when it was registered twice by hand-edit.
        if (indexOfProject(kept, path) >= 0)
            continue;
        leaving_.remove(path);
        infosTouched |= infos_.remove(path) > 0;
    }
    setProjects(kept);
    if (infosTouched)
        emit infosChanged();
    save();
}

void Catalogue::editProject(const QString& path, const std::function<void(Project&)>& edit)
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
    save();
}
