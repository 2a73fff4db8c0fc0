#pragma once

#include "base/environment.h"
#include "base/project.h"
#include "base/run_mode.h"
#include "desktop/alert_presenter.h"
#include "discovery/dev_command.h"
#include "model/model_context.h"
#include "runs/project_runtime.h"
#include "supervision/external/external_process.h"
#include "supervision/output_line.h"

#include <QFuture>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class Catalogue;
class TrafficPolls;
class ProcessManager;
class ProcessTable;
class QTimer;

// The servers' runs: one run state per registered project, the children started here (start,
// stop, restart, their output and exits, the running records that outlive a crash), the servers
// started elsewhere (found in the process table, stopped after a question, polled while the
// window is shown), left-overs of a crash and the memory of a server. Owned by the model and
// acted on only through it; reads the catalogue (projects, records, display names) and writes
// it only to store a server's ports. Lives on the main thread.
class ServerRuns : public QObject
{
    Q_OBJECT

public:
    // `childEnvironment` gives the environment of the next child started.
    ServerRuns(const AppModelContext& context, Catalogue& catalogue,
               std::function<Environment()> childEnvironment, QObject* parent = nullptr);
    ~ServerRuns() override;

    ProjectRuntime* runtimeFor(const QString& path) const { return runtimes_.value(path); }
    const QHash<QString, ProjectRuntime*>& runtimes() const { return runtimes_; }
    // Gives every listed project its run state and drops those of projects that left.
    void syncRunStates(const QList<Project>& projects);
    // Whether a child started here for the project runs or is being spawned.
    bool hasServerHere(const QString& path) const;

    QFuture<StartOutcome> start(const QString& path, std::optional<int> explicitPort);
    void startOnFreePort(const QString& path);
    // Resolves once the stop is over and the run state shows it: the managed server's group is
    // gone and its exit applied; a server started elsewhere was declined, or was told to stop
    // (at once with `confirmed`) and has gone or the wait for that ran out.
    QFuture<void> stop(const QString& path, bool confirmed);
    QFuture<void> stopEachActive();
    QFuture<StartOutcome> restart(const QString& path, bool confirmed);
    QFuture<void> stopAll();

    Alert externalStopQuestion(const QString& path, bool restart) const;
    QFuture<bool> confirmExternalStop(const QString& path, bool restart);
    QFuture<bool> confirmQuit();

    QFuture<void> refreshExternal();
    QFuture<void> recoverOrphans();
    // Measures the memory and processor time of the active servers among `paths` in one pass
    // in the background, into their run states (the share over the time since the previous
    // pass); resolves once they are in.
    QFuture<void> refreshUsage(const QStringList& paths);
    // The same for every active server, so that each shows a current share: a server whose
    // previous pass is missing or older than `usageBaselineAge` is measured again after
    // `usageSecondLook`.
    QFuture<void> refreshUsageOfActive();
    static constexpr int usageBaselineAge = 10000; // ms
    static constexpr int usageSecondLook = 250;    // ms
    // Reads the server's local observability into its traffic figures when a read is due;
    // resolves once it is in (at once when none is).
    QFuture<void> refreshTraffic(const QString& path);
    TrafficPolls& trafficPolls() const { return *trafficPolls_; }
    void startPolling();
    void stopPolling();
    bool isPolling() const { return !pollTask_.isNull(); }

    std::unique_ptr<ProcessTable> makeProcessTable() const;

signals:
    // The child started here for the project has ended (or never came to be).
    void serverEnded(const QString& path);

private:
    QFuture<StartOutcome> startInspected(const QString& path, std::optional<int> explicitPort,
                                         bool inspected);
    StartCommandResult startCommand(const QString& path, std::optional<int> explicitPort);
    void applyStartResult(const QString& path, RunModeKind mode, std::optional<qint32> pid,
                          const QString& failure);
    void handleOutputLines(const QString& path, const OutputLines& lines, RunModeKind mode);
    void handleExit(const QString& path, int exitCode, bool stopRequested);
    // Resolves once the run state shows no server started elsewhere any more, or after 80
    // restart check intervals.
    QFuture<void> whileActiveElsewhere(const QString& path);
    void stopExternalProcesses(const QString& path);
    void applyExternalScan(const ExternalScan& scan);
    // Remembers when the processes of a server started elsewhere were started, so that a
    // later stop never signals a process that has since taken over one of their pids.
    void rememberStartTimes(const QList<qint32>& pids);
    void addRunningRecord(const QString& projectID, qint32 pid);
    void removeRunningRecord(const QString& projectID);
    void pollExternal(QPointer<QTimer> task);

    const AppModelContext& context_;
    Catalogue& catalogue_;
    std::function<Environment()> childEnvironment_;
    QHash<QString, ProjectRuntime*> runtimes_; // owned: children of this object
    std::unique_ptr<ProcessManager> processManager_;
    QPointer<QTimer> pollTask_;
    TrafficPolls* trafficPolls_; // a child of this object
    // Starts whose result has not come back from the process manager yet, with whether the
    // child's exit has already been reported (a child may exit before its start is applied).
    QHash<QString, bool> startsInFlight_;
    // Start times of the pids of servers started elsewhere, as first seen.
    QHash<qint32, quint64> externalStartTimes_;
};
