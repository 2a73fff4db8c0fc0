#include "model/app_model.h"

#include "base/change_only.h"
#include "desktop/app_detection.h"
#include "runs/project_runtime.h"
#include "storage/registry_file.h"
#include "storage/settings_file.h"
#include "supervision/process_manager.h"
#include "supervision/shell_environment.h"

#include <QTimer>

AppModelContext defaultAppModelContext(DesktopServices desktop)
{
    AppModelContext context;
    context.environment = ShellEnvironment::processEnvironment();
    context.desktop = desktop;
    return context;
}

AppModel::AppModel(AppModelContext context, QObject* parent)
    : QObject(parent), context_(std::move(context)),
      rawShellEnv_(ShellEnvironment::completedPath(context_.environment)),
      processManager_(std::make_unique<ProcessManager>(context_.processTiming))
{
    isDemo_ = context_.environment.contains(QStringLiteral("TALLOWMERE_DEMO"));
    installedTerminals_ = ::installedTerminals(rawShellEnv_);
    installedEditors_ = ::installedEditors(rawShellEnv_);
    // Assigned like any change: a stored value that differs from the defaults is applied and
    // written back in normalized form.
    if (const std::optional<AppSettings> stored = loadSettings())
        setSettings(*stored);
    if (const std::optional<Registry> registry = loadRegistry()) {
        roots_ = registry->roots;
        projects_ = registry->projects;
    }
    for (const Project& project : std::as_const(projects_))
        ensureRunState(project.path);
    const QList<Project> visible = visibleProjects();
    select(visible.isEmpty() ? std::nullopt : std::optional<QString>(visible.first().path));
}

AppModel::~AppModel() = default;

const ProjectInfo* AppModel::infoFor(const QString& path) const
{
    const auto found = infos_.constFind(path);
    return found == infos_.cend() ? nullptr : &found.value();
}

void AppModel::setSettings(const AppSettings& settings)
{
    if (settings_ == settings)
        return;
    const AppSettings old = std::exchange(settings_, settings);
    emit settingsChanged();
    applySettingsChange(old, settings_);
}

void AppModel::setSelectedTab(DetailTab tab)
{
    if (assignIfChanged(selectedTab_, tab))
        emit selectedTabChanged();
}

void AppModel::setShowHidden(bool show)
{
    if (assignIfChanged(showHidden_, show))
        emit showHiddenChanged();
}

void AppModel::setShellEnvLoaded(bool loaded)
{
    if (assignIfChanged(shellEnvLoaded_, loaded))
        emit shellEnvLoadedChanged();
}

void AppModel::setRawShellEnv(const Environment& environment)
{
    if (assignIfChanged(rawShellEnv_, environment))
        emit rawShellEnvChanged();
}

void AppModel::setInstalledApps(const QList<ExternalApp>& terminals,
                                const QList<ExternalApp>& editors)
{
    if (assignIfChanged(installedTerminals_, terminals))
        emit installedTerminalsChanged();
    if (assignIfChanged(installedEditors_, editors))
        emit installedEditorsChanged();
}

void AppModel::setIsScanning(bool scanning)
{
    if (assignIfChanged(isScanning_, scanning))
        emit isScanningChanged();
}

void AppModel::setProjects(const QList<Project>& projects)
{
    if (assignIfChanged(projects_, projects))
        emit projectsChanged();
}

void AppModel::setRoots(const QStringList& roots)
{
    if (assignIfChanged(roots_, roots))
        emit rootsChanged();
}

void AppModel::setInfos(const ProjectInfoMap& infos)
{
    if (assignIfChanged(infos_, infos))
        emit infosChanged();
}

void AppModel::showDemoContent(const DemoContent& content)
{
    // Inspection records first: a view that follows the project list finds them in place.
    setInfos(content.infos);
    setProjects(content.projects);
    setRoots(content.roots);
    for (const Project& project : std::as_const(projects_))
        ensureRunState(project.path);
}

void AppModel::ensureRunState(const QString& path)
{
    ProjectRuntime*& runtime = runtimes_[path];
    if (!runtime)
        runtime = new ProjectRuntime(this);
}

std::optional<Project> AppModel::findProject(const QString& path) const
{
    const qsizetype index = indexOfProject(projects_, path);
    if (index < 0)
        return std::nullopt;
    return projects_[index];
}

Project* AppModel::mutableProject(const QString& path)
{
    const qsizetype index = indexOfProject(projects_, path);
    return index < 0 ? nullptr : &projects_[index];
}

QList<Project> AppModel::visibleProjects() const
{
    return sorter_.sortedVisible(projects_, showHidden_);
}

QString AppModel::displayName(const Project& project) const
{
    return displayNameAmong(project, projects_);
}

QList<ProjectLink> AppModel::projectLinks(const QString& path) const
{
    const ProjectInfo* info = infoFor(path);
    return projectLinksFor(info ? info->cms : std::nullopt);
}

void AppModel::select(const std::optional<QString>& path)
{
    if (assignIfChanged(selection_, path))
        emit selectionChanged();
}

void AppModel::repairSelection()
{
    if (selection_ && indexOfProject(projects_, *selection_) >= 0)
        return;
    const QList<Project> visible = visibleProjects();
    select(visible.isEmpty() ? std::nullopt : std::optional<QString>(visible.first().path));
}

void AppModel::scheduleSelectionRepair()
{
    // The model is the timer's context: once it is gone the repair never runs.
    QTimer::singleShot(context_.selectionRepairDelay, this, [this] { repairSelection(); });
}

void AppModel::saveRegistry() const
{
    if (isDemo_)
        return;
    ::saveRegistry(Registry{roots_, projects_});
}
