// The user's edits of the list of roots and projects, carried out by the catalogue; a project
// whose server runs here leaves only once the server has been stopped.
#include "model/app_model.h"
#include "model/catalogue.h"
#include "model/server_runs.h"

void AppModel::addRoot(const QString& folder)
{
    catalogue_->addRoot(folder);
}

void AppModel::removeRoot(const QString& root)
{
    QStringList stopping;
    for (const Project& project : catalogue_->projects())
        if (project.rootPath == root && runs_->hasServerHere(project.path))
            stopping.append(project.path);
    catalogue_->removeRoot(root, stopping);
    for (const QString& path : std::as_const(stopping))
        runs_->stop(path, false);
    repairSelection();
}

std::optional<QString> AppModel::addProject(const QString& folder)
{
    const Catalogue::Added added = catalogue_->addProject(folder);
    if (added.refusal)
        return added.refusal;
    select(added.path);
    // A new project is named after its folder until inspection has read its worker name.
    if (!added.alreadyRegistered)
        refreshInfo(added.path);
    return std::nullopt;
}

void AppModel::removeProject(const QString& path)
{
    const std::optional<Project> project = findProject(path);
    // A project found under a root would come back with the next scan.
    if (!project || project->rootPath)
        return;
    if (runs_->hasServerHere(path)) {
        catalogue_->leaveWhenStopped(path);
        runs_->stop(path, false);
        return;
    }
    catalogue_->removeProject(path);
    repairSelection();
}

void AppModel::setHidden(const QString& path, bool hidden)
{
    if (!findProject(path))
        return;
    catalogue_->editProject(path, [&](Project& project) { project.hidden = hidden; });
    // With hidden projects shown this may select the same project again.
    if (hidden && selection_ == path)
        selectFirstVisible();
}

void AppModel::setFavorite(const QString& path, bool favorite)
{
    // Unmarking removes the value rather than storing false.
    catalogue_->editProject(path, [&](Project& project) {
        project.favorite = favorite ? std::optional<bool>(true) : std::nullopt;
    });
}

void AppModel::setRunModeOverride(const QString& path, std::optional<RunModeKind> mode)
{
    catalogue_->editProject(path, [&](Project& project) { project.runModeOverride = mode; });
}

void AppModel::setCustomCommand(const QString& path, const std::optional<QString>& command)
{
    catalogue_->editProject(path, [&](Project& project) { project.customCommand = command; });
}

void AppModel::setEnvironment(const QString& path, const std::optional<QString>& environment)
{
    std::optional<QString> chosen = environment;
    if (chosen && chosen->isEmpty())
        chosen.reset();
    catalogue_->editProject(path, [&](Project& project) { project.environment = chosen; });
}

void AppModel::setPort(const QString& path, std::optional<int> port)
{
    catalogue_->editProject(path, [&](Project& project) { project.port = port; });
}

void AppModel::rescan()
{
    catalogue_->rescan();
}

QFuture<void> AppModel::refreshInfo(const QString& path)
{
    return catalogue_->refreshInfo(path);
}

QFuture<void> AppModel::inspectAll()
{
    return catalogue_->inspectAll();
}

void AppModel::applyInfos(const QList<QPair<QString, ProjectInfo>>& infos)
{
    catalogue_->applyInfos(infos);
}

void AppModel::restartWatcher()
{
    catalogue_->restartWatcher(settings_.watchRoots);
}
