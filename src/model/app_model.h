#pragma once

#include "base/app_settings.h"
#include "base/environment.h"
#include "base/project.h"
#include "base/run_mode.h"
#include "desktop/alert_presenter.h"
#include "desktop/desktop_services.h"
#include "desktop/external_app.h"
#include "discovery/dev_command.h"
#include "discovery/project_info.h"
#include "discovery/root_watcher.h"
#include "model/detail_tab.h"
#include "model/project_list.h"
#include "runs/project_runtime.h"
#include "supervision/external/external_process.h"
#include "supervision/output_line.h"
#include "supervision/termination_timing.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

struct RootScanResult;
class ProcessTable;
class ProcessManager;
class QTimer;

// Everything the model takes from outside, handed to it at construction (no singletons).
struct AppModelContext
{
    // The process environment read at launch (TALLOWMERE_DEMO, PATH for the fallback
    // environment, ...). Tests pass a controlled one. The data files live in the support
    // directory, which follows TALLOWMERE_SUPPORT_DIR of the process (see core/storage.h).
    Environment environment;
    // Modal alerts, appearance and taskbar policy, workspace operations. May be null in tests
    // that do not exercise them: the model then behaves as if no window system existed.
    DesktopServices desktop;
    // How long a start waits for a recognisable line before the project is shown as running.
    std::chrono::milliseconds readyFallbackDelay{20000};
    // How long after a rescan the selection is checked again.
    std::chrono::milliseconds selectionRepairDelay{200};
    // Pause before the external servers are looked at again after one was stopped.
    std::chrono::milliseconds externalRefreshDelay{1500};
    // Check interval of the waits of a restart (80 checks for external, 30 for managed).
    std::chrono::milliseconds restartCheckInterval{100};
    // Escalation of stops (SIGTERM polls, SIGKILL polls) in the process manager.
    TerminationTiming processTiming;
    // A view of the process table (start times and groups of pids); /proc unless replaced.
    std::function<std::unique_ptr<ProcessTable>()> processTable;
    // Event batching and debounce of the root watcher.
    RootWatcherTiming watcherTiming;
    // Limit of the login-shell capture at start-up and on reload.
    std::chrono::milliseconds shellCaptureLimit{8000};
    // Pause between two refreshes of the servers started elsewhere while the window is shown.
    std::chrono::milliseconds pollInterval{5000};
};

// The context for the running application: the real process environment and default delays.
AppModelContext defaultAppModelContext(DesktopServices desktop);

// Made-up content shown instead of the registry's (demo mode).
struct DemoContent
{
    QStringList roots;
    QList<Project> projects;
    ProjectInfoMap infos;
};

// The one object that owns all state of the running application. Lives on the main thread;
// every getter and operation is called there. Observable fields notify through their
// `<field>Changed` signal, and only when an assignment really changes the value.
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
    const QStringList& roots() const { return roots_; }
    const QList<Project>& projects() const { return projects_; }
    const ProjectInfoMap& infos() const { return infos_; }
    // The inspection record of a project, or null when it has none yet.
    const ProjectInfo* infoFor(const QString& path) const;
    const std::optional<QString>& selection() const { return selection_; }
    DetailTab selectedTab() const { return selectedTab_; }
    void setSelectedTab(DetailTab tab);
    bool showHidden() const { return showHidden_; }
    void setShowHidden(bool show);
    bool isScanning() const { return isScanning_; }
    // Fixed at construction: TALLOWMERE_DEMO in the environment, with any value.
    bool isDemo() const { return isDemo_; }
    bool shellEnvLoaded() const { return shellEnvLoaded_; }
    const Environment& rawShellEnv() const { return rawShellEnv_; }
    // Not observable themselves; each run state is.
    const QHash<QString, ProjectRuntime*>& runtimes() const { return runtimes_; }
    RootWatcher* watcher() const { return watcher_.get(); }
    bool windowVisible() const { return windowVisible_; }
    const QList<ExternalApp>& installedTerminals() const { return installedTerminals_; }
    const QList<ExternalApp>& installedEditors() const { return installedEditors_; }

    const AppModelContext& context() const { return context_; }

    // ---- Lookups ----
    // The run state of a registered project; null for any other path. Every registered
    // project has one from its registration until it leaves the list; nothing else creates one.
    ProjectRuntime* runtimeFor(const QString& path) const { return runtimes_.value(path); }
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

    // ---- Scanning, inspection, watching ----
    // Walks all roots in the background and merges the result; dropped while one runs.
    void rescan();
    void refreshInfo(const QString& path);
    // Inspects every project in one background task and applies the records together; `done`
    // runs on the main thread once they are applied.
    void inspectAll(std::function<void()> done = {});

    // ---- Servers started elsewhere ----
    // Looks for servers started outside the application and shows them on the run states.
    void refreshExternal();

    // ---- Start, stop, restart ----
    // Returns the start's outcome: known once the server runs, or fails or ends first. A start
    // of an active project returns the outcome of the start under way.
    QFuture<StartOutcome> startProject(const QString& path,
                                       std::optional<int> explicitPort = std::nullopt);
    void startOnFreePort(const QString& path);
    void stopProject(const QString& path);
    // stopProject, then `done` on the main thread once the stop is over: the managed server's
    // group is gone, or the question about a server started elsewhere has been answered. At
    // once when nothing runs.
    void stopProjectThen(const QString& path, std::function<void()> done);
    // Stops every project that is starting or running, one after another in registry order,
    // each awaited before the next ("Stop All" of the tray menu); then `done`.
    void stopEachActive(std::function<void()> done = {});
    // Stops the server, awaits its end and starts again; returns the new start's outcome.
    QFuture<StartOutcome> restartProject(const QString& path);
    // The same for a caller that has already asked its user (the command line's --yes): a
    // server started elsewhere is stopped without the alert.
    void stopProjectConfirmed(const QString& path);
    QFuture<StartOutcome> restartProjectConfirmed(const QString& path);
    // The question asked before stopping (or restarting) a server started elsewhere.
    Alert externalStopQuestion(const QString& path, bool restart) const;
    // Asks before stopping (or restarting) a server the application did not start; the
    // answer arrives through onAnswer once the user has chosen.
    void confirmExternalStop(const QString& path, bool restart,
                             std::function<void(bool)> onAnswer = {});
    // Asks before quitting while servers started here run; true means stop them and quit.
    void confirmQuit(std::function<void(bool)> onAnswer);
    // Stops every server started here (the quit path, after confirmQuit); `done` runs on the
    // main thread when all are gone and their exits have been handled.
    void stopAll(std::function<void()> done);

    // ---- Crash recovery ----
    // Offers to stop the servers a previous run left behind. `done` runs on the main thread at
    // once without left-overs, else once the user has answered (never when the model is gone
    // by then); the stops the answer asked for go on after it, followed by a refresh of the
    // servers started elsewhere.
    void recoverOrphans(std::function<void()> done = {});

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
    bool isPolling() const { return !pollTask_.isNull(); }
    // Measures the memory of a project's server in the background into its run state.
    // `done` runs once the measurement is in (at once when there is nothing to measure), never
    // after the model is gone.
    void refreshMemory(const QString& path, std::function<void()> done = {});

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

public:
    // The process table every path reads: the injected one, else /proc.
    std::unique_ptr<ProcessTable> makeProcessTable() const;

private:
    friend struct AppModelTestAccess; // tests/support: start-up state for views under test

    void setShellEnvLoaded(bool loaded);
    void setRawShellEnv(const Environment& environment);
    // Replaces the lists only when they differ.
    void setInstalledApps(const QList<ExternalApp>& terminals, const QList<ExternalApp>& editors);
    void setInfos(const ProjectInfoMap& infos);
    // Stores the chosen server and inspector ports of a start and saves the registry.
    void setPorts(const QString& path, int port, int inspectorPort);

    void applyScan(const QList<RootScanResult>& results);
    // Applies inspection records; those of projects no longer registered are dropped.
    void applyInfos(const QList<QPair<QString, ProjectInfo>>& infos);
    void restartWatcher();

    void applySettingsChange(const AppSettings& oldValue, const AppSettings& newValue);
    void applyAppearance();
    void applyDockIconPolicy();

    // refreshExternal, then `done` on the main thread once the result is applied.
    void refreshExternalThen(std::function<void()> done);

    // The command of a start, or why it may not go ahead. In the Wrangler modes the ports are
    // chosen here, stored on the project and saved.
    StartCommandResult startCommand(const QString& path, std::optional<int> explicitPort);
    void handleExit(const QString& path, int exitCode, bool stopRequested);

    // Every child started here is written down until its exit has been handled.
    void addRunningRecord(const QString& projectID, qint32 pid);
    void removeRunningRecord(const QString& projectID);

    void saveRegistry() const;
    void applyExternalScan(const ExternalScan& scan);
    // Remembers when the processes of a server started elsewhere were started, so that a
    // later stop never signals a process that has since taken over one of their pids.
    void rememberStartTimes(const QList<qint32>& pids);
    QFuture<StartOutcome> startInspected(const QString& path, std::optional<int> explicitPort,
                                         bool inspected);
    void stopProjectAs(const QString& path, bool confirmed, std::function<void()> done);
    QFuture<StartOutcome> restartProjectAs(const QString& path, bool confirmed);
    // Resolves once the run state shows no server started elsewhere any more, or after 80
    // restart check intervals.
    QFuture<void> whileActiveElsewhere(const QString& path);
    // Whether a child started here for the project runs or is being spawned.
    bool hasServerHere(const QString& path) const;
    // Signals the processes of a server started elsewhere, once its stop is confirmed.
    void stopExternalProcesses(const QString& path);
    void applyStartResult(const QString& path, RunModeKind mode, std::optional<qint32> pid,
                          const QString& failure);
    void handleOutputLines(const QString& path, const OutputLines& lines, RunModeKind mode);
    // Captures the login-shell environment in the background and applies it; `done` runs on
    // the main thread afterwards, also when a newer capture has overtaken this one.
    void captureShellEnvironment(std::function<void()> done);
    void pollExternal(QPointer<QTimer> task);
    // refreshInfo, then `done` on the main thread once the record is applied (at once when
    // there is nothing to inspect).
    void refreshInfoThen(const QString& path, std::function<void()> done);
    void setProjects(const QList<Project>& projects);
    void setRoots(const QStringList& roots);
    void setIsScanning(bool scanning);
    void repairSelection();
    void scheduleSelectionRepair();
    void dropProjectState(const QStringList& paths);
    // Gives a newly registered project its run state.
    void ensureRunState(const QString& path);
    // Takes the projects for which `leaves` holds off the list, with their state, and saves.
    void dropProjects(const std::function<bool(const Project&)>& leaves);
    // Drops a project whose removal waited for its server, once that server has ended.
    void finishPendingRemoval(const QString& path);
    Project* mutableProject(const QString& path);
    // Edits one project, then publishes and saves the list when the edit changed it.
    void editProject(const QString& path, const std::function<void(Project&)>& edit);

    AppModelContext context_;
    AppSettings settings_;
    QStringList roots_;
    QList<Project> projects_;
    ProjectInfoMap infos_;
    std::optional<QString> selection_;
    DetailTab selectedTab_ = DetailTab::overview;
    bool showHidden_ = false;
    bool isScanning_ = false;
    bool isDemo_ = false;
    bool shellEnvLoaded_ = false;
    Environment rawShellEnv_;
    QHash<QString, ProjectRuntime*> runtimes_; // owned: children of the model
    std::unique_ptr<ProcessManager> processManager_;
    std::unique_ptr<RootWatcher> watcher_;
    QPointer<QTimer> pollTask_;
    // Only the newest login-shell capture is applied (a reload may overtake an earlier one).
    quint64 shellCaptureGeneration_ = 0;
    bool windowVisible_ = false;
    mutable ProjectSorter sorter_;
    // Starts whose result has not come back from the process manager yet, with whether the
    // child's exit has already been reported (a child may exit before its start is applied).
    QHash<QString, bool> startsInFlight_;
    // Projects that leave the list once the server started here for them ends: removed by the
    // user, or no longer found by a scan (then shown with a problem line meanwhile).
    QSet<QString> pendingRemoval_;
    // Start times of the pids of servers started elsewhere, as first seen.
    QHash<qint32, quint64> externalStartTimes_;
    QList<ExternalApp> installedTerminals_;
    QList<ExternalApp> installedEditors_;
};
