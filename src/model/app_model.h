#pragma once

#include "base/app_settings.h"
#include "base/environment.h"
#include "base/project.h"
#include "base/run_mode.h"
#include "desktop/alert_presenter.h"
#include "desktop/desktop_services.h"
#include "desktop/external_app.h"
#include "discovery/project_info.h"
#include "discovery/root_watcher.h"
#include "model/detail_tab.h"
#include "model/model_context.h"
#include "model/project_list.h"
#include "runs/project_runtime.h"

#include <QFuture>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class Catalogue;
class DevRegistryWatcher;
class ProcessTable;
class ServerRuns;

// Made-up content shown instead of the registry's (demo mode).
struct DemoContent
{
    QStringList roots;
    QList<Project> projects;
    ProjectInfoMap infos;
};

// The one object that owns all state of the running application and the one place the
// interface acts. Lives on the main thread; every getter and operation is called there.
// Observable fields notify through their `<field>Changed` signal, and only when an assignment
// really changes the value.
//
// It keeps the settings, the view state and the start-up, and owns two parts with one-way
// ties: the catalogue (roots, projects, inspection, scans, the watcher) and the servers' runs
// (start, stop, restart, servers started elsewhere, crash recovery, memory, polling), which
// reads the catalogue. Long operations return futures; receive them with deliverTo
// (base/deliver.h), which never calls back once the receiver is gone.
class AppModel : public QObject
{
    Q_OBJECT

public:
    explicit AppModel(AppModelContext context, QObject* parent = nullptr);
    ~AppModel() override;

    // ---- Fields, in declaration order ----
    const AppSettings& settings() const { return settings_; }
    // Assigning runs the change handling: appearance, taskbar policy, save, watcher.
    void setSettings(const AppSettings& settings);
    const QStringList& roots() const;
    const QList<Project>& projects() const;
    const ProjectInfoMap& infos() const;
    // The inspection record of a project, or null when it has none yet.
    const ProjectInfo* infoFor(const QString& path) const;
    const std::optional<QString>& selection() const { return selection_; }
    DetailTab selectedTab() const { return selectedTab_; }
    void setSelectedTab(DetailTab tab);
    bool showHidden() const { return showHidden_; }
    void setShowHidden(bool show);
    bool isScanning() const;
    // Fixed at construction: TALLOWMERE_DEMO in the environment, with any value.
    bool isDemo() const { return isDemo_; }
    bool shellEnvLoaded() const { return shellEnvLoaded_; }
    const Environment& rawShellEnv() const { return rawShellEnv_; }
    // Not observable themselves; each run state is.
    const QHash<QString, ProjectRuntime*>& runtimes() const;
    RootWatcher* watcher() const;
    // Wrangler's dev registry: the Workers running on this machine, started here or elsewhere.
    // Watched once the login-shell environment is known, in the folders of its dev servers.
    DevRegistryWatcher* devRegistry() const { return devRegistry_; }
    bool windowVisible() const { return windowVisible_; }
    const QList<ExternalApp>& installedTerminals() const { return installedTerminals_; }
    const QList<ExternalApp>& installedEditors() const { return installedEditors_; }

    const AppModelContext& context() const { return context_; }

    // ---- Lookups ----
    // The run state of a registered project; null for any other path. Every registered
    // project has one from its registration until it leaves the list; nothing else creates one.
    ProjectRuntime* runtimeFor(const QString& path) const;
    std::optional<Project> findProject(const QString& path) const;
    // The sidebar order: visible projects by name (locale-aware, case-insensitive), then path.
    QList<Project> visibleProjects() const;
    QString displayName(const Project& project) const;
    QList<ProjectLink> projectLinks(const QString& path) const;

    // ---- Selection and project list ----
    void select(const std::optional<QString>& path);
    void addRoot(const QString& folder);
    // Removes the root and its projects. Servers started here for them are stopped first; each
    // of those projects leaves the list once its server has ended.
    void removeRoot(const QString& root);
    // Registers one project folder; returns the message to show when it refuses.
    std::optional<QString> addProject(const QString& folder);
    // Removes a project added by hand; a server started here for it is stopped first, and the
    // project leaves the list once that server has ended.
    void removeProject(const QString& path);
    void setHidden(const QString& path, bool hidden);
    void setFavorite(const QString& path, bool favorite);
    void setRunModeOverride(const QString& path, std::optional<RunModeKind> mode);
    void setCustomCommand(const QString& path, const std::optional<QString>& command);
    // Chooses the Wrangler environment of later runs; none or an empty name is the top level.
    void setEnvironment(const QString& path, const std::optional<QString>& environment);
    void setPort(const QString& path, std::optional<int> port);
    // Shows `content` instead of the registry's roots, projects and inspection records, each
    // field notifying only when it changes, and gives every project a run state. Writes no
    // file: it is meant for demo mode, which never saves.
    void showDemoContent(const DemoContent& content);
    // Takes `environment` as the login shell's, loaded (demo mode, which runs no shell): the
    // settings then show the demo's PATH, not this machine's.
    void showDemoShellEnvironment(const Environment& environment);

    // ---- Scanning, inspection, watching ----
    // Walks all roots in the background and merges the result; dropped while one runs.
    void rescan();
    // Inspects one project, or every project in one background task; resolves once the
    // records are applied (at once when there is nothing to inspect).
    QFuture<void> refreshInfo(const QString& path);
    QFuture<void> inspectAll();

    // ---- Servers started elsewhere ----
    // Looks for servers started outside the application and shows them on the run states;
    // resolves once the result is applied.
    QFuture<void> refreshExternal();

    // ---- Start, stop, restart ----
    // Returns the start's outcome: known once the server runs, or fails or ends first. A start
    // of an active project returns the outcome of the start under way.
    QFuture<StartOutcome> startProject(const QString& path,
                                       std::optional<int> explicitPort = std::nullopt);
    void startOnFreePort(const QString& path);
    // Resolves once the stop is over and the run state shows it: the managed server's exit has
    // been applied, or the question about a server started elsewhere has been declined, or that
    // server has gone (or the wait for it ran out). At once when nothing runs.
    QFuture<void> stopProject(const QString& path);
    // Stops every project that is starting or running, one after another in registry order,
    // each awaited before the next ("Stop All" of the tray menu).
    QFuture<void> stopEachActive();
    // Stops the server, awaits its end and starts again; returns the new start's outcome.
    QFuture<StartOutcome> restartProject(const QString& path);
    // The same for a caller that has already asked its user (the command line's --yes): a
    // server started elsewhere is stopped without the alert.
    QFuture<void> stopProjectConfirmed(const QString& path);
    QFuture<StartOutcome> restartProjectConfirmed(const QString& path);
    // The question asked before stopping (or restarting) a server started elsewhere.
    Alert externalStopQuestion(const QString& path, bool restart) const;
    // Asks before stopping (or restarting) a server the application did not start; true once
    // the user has chosen to, and the server has been told to stop.
    QFuture<bool> confirmExternalStop(const QString& path, bool restart);
    // Asks before quitting while servers started here run; true means stop them and quit.
    QFuture<bool> confirmQuit();
    // Stops every server started here (the quit path, after confirmQuit); resolves when all
    // are gone and their exits have been handled.
    QFuture<void> stopAll();

    // ---- Crash recovery ----
    // Offers to stop the servers a previous run left behind. Resolves at once without
    // left-overs, else once the user has answered; the stops the answer asked for go on after
    // it, followed by a refresh of the servers started elsewhere.
    QFuture<void> recoverOrphans();

    // ---- Start-up and periodic refresh ----
    // Applies appearance and taskbar policy, detects terminals and editors, and starts
    // `bootstrap` on the event loop; returns at once.
    void launch();
    // The start-up sequence; emits bootstrapFinished at its end, in demo mode too.
    void bootstrap();
    // Captures the login-shell environment again; shellEnvLoaded is false until it has.
    void reloadShellEnvironment();
    // The main window is shown / gone: start and stop the refresh of external servers.
    void windowAppeared();
    void windowDisappeared();
    // Whether the refresh of external servers is scheduled (the main window is shown).
    bool isPolling() const;
    // Measures the memory and processor time of a project's server in the background into
    // its run state, in one pass over its processes; the processor share is that since the
    // previous pass. Resolves once the measurement is in (at once when there is nothing to
    // measure).
    QFuture<void> refreshUsage(const QString& path);
    // The same for every active server, each with a current processor share (a second pass
    // a moment later for a server not measured lately); for `status`.
    QFuture<void> refreshUsageOfActive();
    // Reads a project's traffic from its server's local observability when it offers that and
    // the last read is older than five seconds: every view or client that shows traffic asks
    // this, and no read happens while none does. Resolves once the read is in (at once when
    // none is due).
    QFuture<void> refreshTraffic(const QString& path);

    // The process table every path reads: the injected one, else the services'.
    std::unique_ptr<ProcessTable> makeProcessTable() const;

signals:
    void settingsChanged();
    void rootsChanged();
    void projectsChanged();
    void infosChanged();
    void selectionChanged();
    void selectedTabChanged();
    void showHiddenChanged();
    void isScanningChanged();
    void shellEnvLoadedChanged();
    void rawShellEnvChanged();
    void installedTerminalsChanged();
    void installedEditorsChanged();
    // A rescan has been merged (after `projectsChanged`); the selection repair follows later.
    void scanApplied();
    // The start-up sequence has ended; the diagnostic variables are handled here.
    void bootstrapFinished();

private:
    friend struct AppModelTestAccess; // tests/support: start-up state for views under test

    void setShellEnvLoaded(bool loaded);
    void setRawShellEnv(const Environment& environment);
    // Replaces the lists only when they differ.
    void setInstalledApps(const QList<ExternalApp>& terminals, const QList<ExternalApp>& editors);
    void applyInfos(const QList<QPair<QString, ProjectInfo>>& infos);
    void restartWatcher();

    void applySettingsChange(const AppSettings& oldValue, const AppSettings& newValue);
    void applyAppearance();
    void applyDockIconPolicy();

    // Captures the login-shell environment in the background and applies it; resolves
    // afterwards, also when a newer capture has overtaken this one.
    QFuture<void> captureShellEnvironment();
    void repairSelection();
    void scheduleSelectionRepair();
    void selectFirstVisible();

    AppModelContext context_;
    AppSettings settings_;
    std::optional<QString> selection_;
    DetailTab selectedTab_ = DetailTab::overview;
    bool showHidden_ = false;
    bool isDemo_ = false;
    bool shellEnvLoaded_ = false;
    Environment rawShellEnv_;
    DevRegistryWatcher* devRegistry_ = nullptr; // a child of the model
    // Only the newest login-shell capture is applied (a reload may overtake an earlier one).
    quint64 shellCaptureGeneration_ = 0;
    bool windowVisible_ = false;
    mutable ProjectSorter sorter_;
    QList<ExternalApp> installedTerminals_;
    QList<ExternalApp> installedEditors_;
    // The parts; the runs read the catalogue and go first.
    std::unique_ptr<Catalogue> catalogue_;
    std::unique_ptr<ServerRuns> runs_;
};
