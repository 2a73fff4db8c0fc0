#include "model/app_model.h"

#include "base/change_only.h"
#include "desktop/app_detection.h"
#include "discovery/dev_registry_watcher.h"
#include "model/catalogue.h"
#include "model/server_runs.h"
#include "model/service_links.h"
#include "supervision/external/process_table.h"
#include "supervision/shell_environment.h"

#include <QTimer>

AppModelContext defaultAppModelContext(DesktopServices desktop)
{
    AppModelContext context;
    context.environment = ShellEnvironment::processEnvironment();
    context.desktop = desktop;
    return context;
}

bool asksForDemo(const AppModelContext& context)
{
    return context.environment.contains(QStringLiteral("TALLOWMERE_DEMO"));
}

AppModel::AppModel(AppModelContext context, QObject* parent)
    : QObject(parent), context_(std::move(context)),
      rawShellEnv_(ShellEnvironment::completedPath(context_.environment))
{
    // Demo mode goes in through the services: nothing stored, nothing found.
    isDemo_ = asksForDemo(context_);
    if (isDemo_)
        context_.services = demoServices();
    catalogue_ = std::make_unique<Catalogue>(
        context_, [this](const QString& path) { return runs_ && runs_->hasServerHere(path); });
    runs_ = std::make_unique<ServerRuns>(context_, *catalogue_, [this] {
        return ShellEnvironment::childEnvironment(rawShellEnv_, settings_.nodePath);
    });
    connect(catalogue_.get(), &Catalogue::rootsChanged, this, &AppModel::rootsChanged);
    connect(catalogue_.get(), &Catalogue::infosChanged, this, &AppModel::infosChanged);
    connect(catalogue_.get(), &Catalogue::isScanningChanged, this, &AppModel::isScanningChanged);
    // Every listed project has its run state before anyone hears of the list.
    connect(catalogue_.get(), &Catalogue::projectsChanged, this, [this] {
        runs_->syncRunStates(catalogue_->projects());
        emit projectsChanged();
    });
    connect(catalogue_.get(), &Catalogue::scanApplied, this, [this] {
        emit scanApplied();
        scheduleSelectionRepair();
        runs_->refreshExternal();
    });
    // The dev servers' environment decides where they register; demo mode watches nothing.
    devRegistry_ = new DevRegistryWatcher(this);
    connect(this, &AppModel::shellEnvLoadedChanged, this, [this] {
        const QStringList folders = devRegistryFoldersOf(*this);
        if (shellEnvLoaded_ && !isDemo_ && folders != devRegistry_->folders())
            devRegistry_->setFolders(folders);
    });
    // A server killed outright leaves its entry behind: its port is probed again at once.
    connect(runs_.get(), &ServerRuns::serverEnded, devRegistry_, &DevRegistryWatcher::refresh);
    connect(runs_.get(), &ServerRuns::serverEnded, this, [this](const QString& path) {
        if (catalogue_->finishLeaving(path))
            repairSelection();
    });

    installedTerminals_ = ::installedTerminals(rawShellEnv_);
    installedEditors_ = ::installedEditors(rawShellEnv_);
    // Assigned like any change: a stored value that differs from the defaults is applied and
    // written back in normalized form.
    if (const std::optional<AppSettings> stored = context_.services.loadSettings())
        setSettings(*stored);
    // Tells the catalogue whether to watch; with no roots yet, no watcher starts.
    restartWatcher();
    if (const std::optional<Registry> registry = context_.services.loadRegistry())
        catalogue_->load(*registry);
    runs_->syncRunStates(catalogue_->projects());
    selectFirstVisible();
}

AppModel::~AppModel() = default;

const QStringList& AppModel::roots() const
{
    return catalogue_->roots();
}

const QList<Project>& AppModel::projects() const
{
    return catalogue_->projects();
}

const ProjectInfoMap& AppModel::infos() const
{
    return catalogue_->infos();
}

const ProjectInfo* AppModel::infoFor(const QString& path) const
{
    return catalogue_->infoFor(path);
}

bool AppModel::isScanning() const
{
    return catalogue_->isScanning();
}

const QHash<QString, ProjectRuntime*>& AppModel::runtimes() const
{
    return runs_->runtimes();
}

RootWatcher* AppModel::watcher() const
{
    return catalogue_->watcher();
}

ProjectRuntime* AppModel::runtimeFor(const QString& path) const
{
    return runs_->runtimeFor(path);
}

std::optional<Project> AppModel::findProject(const QString& path) const
{
    return catalogue_->findProject(path);
}

bool AppModel::isPolling() const
{
    return runs_->isPolling();
}

std::unique_ptr<ProcessTable> AppModel::makeProcessTable() const
{
    return runs_->makeProcessTable();
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

void AppModel::showDemoContent(const DemoContent& content)
{
    catalogue_->show(content.roots, content.projects, content.infos);
}

void AppModel::showDemoShellEnvironment(const Environment& environment)
{
    setRawShellEnv(environment);
    setShellEnvLoaded(true);
}

QList<Project> AppModel::visibleProjects() const
{
    return sorter_.sortedVisible(catalogue_->projects(), showHidden_);
}

QString AppModel::displayName(const Project& project) const
{
    return catalogue_->displayName(project);
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

void AppModel::selectFirstVisible()
{
    const QList<Project> visible = visibleProjects();
    select(visible.isEmpty() ? std::nullopt : std::optional<QString>(visible.first().path));
}

void AppModel::repairSelection()
{
    if (selection_ && findProject(*selection_))
        return;
    selectFirstVisible();
}

void AppModel::scheduleSelectionRepair()
{
    // The model is the timer's context: once it is gone the repair never runs.
    QTimer::singleShot(context_.selectionRepairDelay, this, [this] { repairSelection(); });
}
