// The run states, and starting, stopping and restarting dev servers: what their output and
// exit do.
#include "model/server_runs.h"

#include "model/catalogue.h"
#include "model/future_helpers.h"
#include "model/traffic_polls.h"
#include "runs/output_handling.h"
#include "runs/port_allocation.h"
#include "supervision/process_manager.h"

#include <QTimer>

namespace {

bool isWranglerMode(RunModeKind mode)
{
    return mode == RunModeKind::wrangler || mode == RunModeKind::pages;
}

QUrl localAddress(int port)
{
    return QUrl(QStringLiteral("http://localhost:") + QString::number(port));
}

QFuture<StartOutcome> removedOutcome()
{
    return Futures::ready(StartOutcome::failed(QStringLiteral("the project was removed")));
}

} // namespace

ServerRuns::ServerRuns(const AppModelContext& context, Catalogue& catalogue,
                       std::function<Environment()> childEnvironment, QObject* parent)
    : QObject(parent), context_(context), catalogue_(catalogue),
      childEnvironment_(std::move(childEnvironment)),
      processManager_(std::make_unique<ProcessManager>(context_.processTiming)),
      trafficPolls_(new TrafficPolls(this))
{}

ServerRuns::~ServerRuns() = default;

void ServerRuns::syncRunStates(const QList<Project>& projects)
{
    QSet<QString> listed;
    for (const Project& project : projects) {
        listed.insert(project.path);
        ProjectRuntime*& runtime = runtimes_[project.path];
        if (!runtime)
            runtime = new ProjectRuntime(this);
    }
    for (auto it = runtimes_.begin(); it != runtimes_.end();) {
        if (listed.contains(it.key())) {
            ++it;
            continue;
        }
        it.value()->deleteLater();
        trafficPolls_->forget(it.key());
        it = runtimes_.erase(it);
    }
}

QFuture<void> ServerRuns::refreshTraffic(const QString& path)
{
    return trafficPolls_->refresh(path, runtimeFor(path));
}

bool ServerRuns::hasServerHere(const QString& path) const
{
    const ProjectRuntime* runtime = runtimeFor(path);
    return startsInFlight_.contains(path) || (runtime && runtime->managed());
}

StartCommandResult ServerRuns::startCommand(const QString& path, std::optional<int> explicitPort)
{
    const std::optional<Project> project = catalogue_.findProject(path);
    if (!project)
        return StartRefusal{QStringLiteral("Project not found")};
    const PortChoice choosePorts = [this, path](std::optional<int> requested) {
        const std::optional<Project> current = catalogue_.findProject(path);
        const PortAllocation::ChosenPorts chosen =
            PortAllocation::choosePorts(*current, catalogue_.projects(), requested,
                                        [this, path](const PortAllocation::ChosenPorts& ports) {
                                            catalogue_.editProject(path, [&](Project& edited) {
                                                edited.port = ports.port;
                                                edited.inspectorPort = ports.inspectorPort;
                                            });
                                        });
        return std::pair{chosen.port, chosen.inspectorPort};
    };
    return ::startCommand(*project, catalogue_.infoFor(path), explicitPort, choosePorts);
}

QFuture<StartOutcome> ServerRuns::start(const QString& path, std::optional<int> explicitPort)
{
    return startInspected(path, explicitPort, false);
}

QFuture<StartOutcome> ServerRuns::startInspected(const QString& path,
                                                 std::optional<int> explicitPort, bool inspected)
{
    const std::optional<Project> project = catalogue_.findProject(path);
    ProjectRuntime* runtime = runtimeFor(path);
    if (!project || !runtime)
        return removedOutcome();
    // A second start of an active project (also one started elsewhere) does nothing; its
    // outcome is that of the start under way.
    if (runtime->status().isActive())
        return runtime->currentStart();
    // Inspect first, then start over. Once only: when inspection adds no record (demo mode),
    // the start goes on without one.
    if (!catalogue_.infoFor(path) && !inspected) {
        auto outcome = Futures::shared<StartOutcome>();
        deliverTo(this, catalogue_.refreshInfo(path), [this, path, explicitPort, outcome] {
            Futures::forward(this, startInspected(path, explicitPort, true), outcome);
        });
        return outcome->future();
    }

    const RunModeKind mode = effectiveMode(*project, catalogue_.infoFor(path));
    const StartCommandResult result = startCommand(path, explicitPort);
    if (const auto* refusal = std::get_if<StartRefusal>(&result))
        return runtime->startRefused(refusal->message);
    const StartCommand& command = std::get<StartCommand>(result);
    QFuture<StartOutcome> outcome = runtime->startAccepted(command.commandLine);

    ChildCallbacks callbacks;
    // This object is the callbacks' context: they run on the main thread, in arrival order,
    // and are dropped once it is gone. They look the run state up and never create one.
    // Output after the exit comes from processes that outlived the child: it is logged, never
    // read for a run state that may belong to a newer start by then.
    const auto exited = std::make_shared<bool>(false);
    callbacks.onLines = [this, path, mode, exited](const OutputLines& lines) {
        if (!*exited)
            handleOutputLines(path, lines, mode);
        else if (ProjectRuntime* runtime = runtimeFor(path))
            logOutputLines(*runtime, lines);
    };
    callbacks.onExit = [this, path, exited](int code, bool stopRequested) {
        *exited = true;
        handleExit(path, code, stopRequested);
    };
    startsInFlight_.insert(path, false);
    Environment environment = childEnvironment_();
    if (command.clearCloudflareEnv)
        environment.remove(QStringLiteral("CLOUDFLARE_ENV"));
    const QFuture<StartResult> starting = processManager_->start(
        path, command.commandLine, command.workingFolder, environment, this, std::move(callbacks));
    deliverTo(this, starting, [this, path, mode](const StartResult& started) {
        applyStartResult(path, mode, started.pid,
                         started.error ? started.error->description() : QString());
    });
    return outcome;
}

void ServerRuns::applyStartResult(const QString& path, RunModeKind mode, std::optional<qint32> pid,
                                  const QString& failure)
{
    const bool exitedAlready = startsInFlight_.take(path);
    ProjectRuntime* runtime = runtimeFor(path);
    if (!pid) {
        if (runtime)
            runtime->spawnFailed(failure);
        emit serverEnded(path);
        return;
    }
    // A child that was quick to exit has been handled already: nothing of it may linger.
    if (exitedAlready || !runtime) {
        emit serverEnded(path);
        return;
    }
    runtime->spawned(*pid);
    addRunningRecord(path, *pid);

    // A server that never prints a recognisable line is shown as running after a while.
    const qint32 started = *pid;
    QTimer::singleShot(context_.readyFallbackDelay, this, [this, path, mode, started] {
        ProjectRuntime* runtime = runtimeFor(path);
        if (!runtime)
            return;
        const std::optional<Project> project = catalogue_.findProject(path);
        runtime->readyFallback(started, isWranglerMode(mode) && project && project->port
                                            ? std::optional<QUrl>(localAddress(*project->port))
                                            : std::nullopt);
    });
}

void ServerRuns::handleOutputLines(const QString& path, const OutputLines& lines, RunModeKind mode)
{
    ProjectRuntime* runtime = runtimeFor(path);
    if (!runtime)
        return;
    OutputHooks hooks;
    hooks.activeOwnerOfPort = [this, path](int port) {
        QList<PortOwnerCandidate> candidates;
        const QList<Project>& projects = catalogue_.projects();
        candidates.reserve(projects.size());
        for (const Project& project : projects)
            candidates.append(
                {project.path, catalogue_.displayName(project), runtimeFor(project.path)});
        return findPortOwner(candidates, path, port);
    };
    hooks.adoptPort = [this, path](int port) {
        catalogue_.editProject(path, [port](Project& project) { project.port = port; });
    };
    // One delivery of the output channel is one batch of the log.
    ::handleOutputLines(*runtime, lines, mode, hooks);
}

void ServerRuns::handleExit(const QString& path, int exitCode, bool stopRequested)
{
    if (const auto inFlight = startsInFlight_.find(path); inFlight != startsInFlight_.end())
        inFlight.value() = true;
    if (ProjectRuntime* runtime = runtimeFor(path)) {
        runtime->exited(exitCode, stopRequested);
        if (runtime->external())
            rememberStartTimes(runtime->externalPIDs());
    }
    removeRunningRecord(path);
    emit serverEnded(path);
}

void ServerRuns::startOnFreePort(const QString& path)
{
    const ProjectRuntime* self = runtimeFor(path);
    if (!self)
        return;
    QList<int> activePorts;
    for (const Project& project : catalogue_.projects()) {
        const ProjectRuntime* runtime = runtimeFor(project.path);
        if (runtime && runtime->status().isActive() && runtime->url() && runtime->url()->port() > 0)
            activePorts.append(runtime->url()->port());
    }
    const std::optional<PortConflict>& conflict = self->portConflict();
    const int port = PortAllocation::portForMovingOff(
        activePorts, conflict ? std::optional<int>(conflict->port) : std::nullopt);
    QMetaObject::invokeMethod(
        this, [this, path, port] { start(path, port); }, Qt::QueuedConnection);
}

QFuture<void> ServerRuns::stop(const QString& path, bool confirmed)
{
    ProjectRuntime* runtime = runtimeFor(path);
    if (hasServerHere(path)) {
        // The exit report sets the state; the stop is over once it has been applied.
        auto over = Futures::shared<void>();
        const QFuture<void> exit = runtime ? runtime->exitApplied() : Futures::ready();
        deliverTo(this, processManager_->stop(path),
                  [this, exit, over] { Futures::forward(this, exit, over); });
        return over->future();
    }
    if (runtime && runtime->external() && confirmed) {
        stopExternalProcesses(path);
        // The next external refresh clears the run state once the server has gone.
        return whileActiveElsewhere(path);
    }
    if (runtime && runtime->external()) {
        auto over = Futures::shared<void>();
        deliverTo(this, confirmExternalStop(path, false), [this, path, over](bool stopped) {
            if (stopped)
                Futures::forward(this, whileActiveElsewhere(path), over);
            else
                over->finish();
        });
        return over->future();
    }
    return Futures::ready();
}

QFuture<void> ServerRuns::stopEachActive()
{
    QStringList active;
    for (const Project& project : catalogue_.projects())
        if (const ProjectRuntime* runtime = runtimeFor(project.path);
            runtime && runtime->status().isActive())
            active.append(project.path);
    // One after another in registry order, each awaited before the next.
    QList<Futures::Step> stops;
    for (const QString& path : std::as_const(active))
        stops.append([this, path] { return stop(path, false); });
    return Futures::inTurn(this, stops);
}

QFuture<void> ServerRuns::whileActiveElsewhere(const QString& path)
{
    auto gone = Futures::shared<void>();
    ProjectRuntime* runtime = runtimeFor(path);
    const auto stillThere = [runtime] {
        return runtime->status().isActive() || runtime->external();
    };
    if (!runtime || !stillThere()) {
        gone->finish();
        return gone->future();
    }
    // One context per wait: deleting it ends both the watch and the time limit.
    auto* wait = new QObject(runtime);
    const auto end = [gone, wait] {
        if (!gone->future().isFinished())
            gone->finish();
        wait->deleteLater();
    };
    connect(runtime, &ProjectRuntime::changed, wait, [stillThere, end] {
        if (!stillThere())
            end();
    });
    QTimer::singleShot(context_.restartCheckInterval * 80, wait, end);
    return gone->future();
}

QFuture<StartOutcome> ServerRuns::restart(const QString& path, bool confirmed)
{
    ProjectRuntime* runtime = runtimeFor(path);
    if (!runtime)
        return removedOutcome();
    auto outcome = Futures::shared<StartOutcome>();
    const auto startAgain = [this, path, outcome] {
        Futures::forward(this, start(path, std::nullopt), outcome);
    };
    if (runtime->external() && !runtime->managed()) {
        const auto afterStop = [this, path, startAgain, outcome](bool stopped) {
            if (!stopped) {
                Futures::fulfil(*outcome,
                                StartOutcome::failed(QStringLiteral("the restart was cancelled")));
                return;
            }
            // The next external refresh clears the run state once the server has gone.
            deliverTo(this, whileActiveElsewhere(path), startAgain);
        };
        if (confirmed) {
            stopExternalProcesses(path);
            afterStop(true);
        } else {
            deliverTo(this, confirmExternalStop(path, true), afterStop);
        }
    } else if (runtime->managed()) {
        const QFuture<void> exit = runtime->exitApplied();
        deliverTo(this, processManager_->stop(path),
                  [this, exit, startAgain] { deliverTo(this, exit, startAgain); });
    } else {
        Futures::fulfil(*outcome, StartOutcome::failed(QStringLiteral("no server runs")));
    }
    return outcome->future();
}

QFuture<void> ServerRuns::stopAll()
{
    // The exit reports come after the groups are gone; they end each run and remove its
    // running record, which a process that ends now must not leave behind.
    QList<QFuture<void>> exits;
    for (const ProjectRuntime* runtime : std::as_const(runtimes_))
        if (runtime->managed())
            exits.append(runtime->exitApplied());
    auto done = Futures::shared<void>();
    deliverTo(this, processManager_->stopAll(),
              [this, exits, done] { Futures::forward(this, Futures::all(this, exits), done); });
    return done->future();
}
