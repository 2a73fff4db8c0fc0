// Starting, stopping and restarting dev servers, and what their output and exit do.
#include "base/deliver.h"
#include "model/app_model.h"
#include "runs/output_handling.h"
#include "runs/port_allocation.h"
#include "runs/project_runtime.h"
#include "supervision/process_manager.h"
#include "supervision/shell_environment.h"

#include <QPromise>
#include <QTimer>

#include <algorithm>

namespace {

bool isWranglerMode(RunModeKind mode)
{
    return mode == RunModeKind::wrangler || mode == RunModeKind::pages;
}

QUrl localAddress(int port)
{
    return QUrl(QStringLiteral("http://localhost:") + QString::number(port));
}

// Stops paths[index...] one after another, each once the previous stop is over.
void stopInTurn(const QPointer<AppModel>& model, const QStringList& paths, qsizetype index,
                std::function<void()> done)
{
    if (!model)
        return;
    if (index == paths.size()) {
        if (done)
            done();
        return;
    }
    model->stopProjectThen(paths[index], [model, paths, index, done = std::move(done)] {
        stopInTurn(model, paths, index + 1, done);
    });
}

// Calls `done` once every future has finished, one after another (never once `context` is gone).
void awaitAll(QObject* context, QList<QFuture<void>> futures, std::function<void()> done)
{
    if (futures.isEmpty()) {
        if (done)
            done();
        return;
    }
    const QFuture<void> next = futures.takeFirst();
    deliverTo(context, next, [context, futures = std::move(futures), done = std::move(done)] {
        awaitAll(context, futures, done);
    });
}

QFuture<StartOutcome> readyOutcome(const StartOutcome& outcome)
{
    QPromise<StartOutcome> promise;
    promise.start();
    promise.addResult(outcome);
    promise.finish();
    return promise.future();
}

} // namespace

StartCommandResult AppModel::startCommand(const QString& path, std::optional<int> explicitPort)
{
    const std::optional<Project> project = findProject(path);
    if (!project)
        return StartRefusal{QStringLiteral("Project not found")};
    const PortChoice choosePorts = [this, path](std::optional<int> requested) {
        const std::optional<Project> current = findProject(path);
        const PortAllocation::ChosenPorts chosen = PortAllocation::choosePorts(
            *current, projects_, requested, [this, path](const PortAllocation::ChosenPorts& ports) {
                setPorts(path, ports.port, ports.inspectorPort);
            });
        return std::pair{chosen.port, chosen.inspectorPort};
    };
    return ::startCommand(*project, infoFor(path), explicitPort, choosePorts);
}

QFuture<StartOutcome> AppModel::startProject(const QString& path, std::optional<int> explicitPort)
{
    return startInspected(path, explicitPort, false);
}

QFuture<StartOutcome> AppModel::startInspected(const QString& path, std::optional<int> explicitPort,
                                               bool inspected)
{
    const std::optional<Project> project = findProject(path);
    ProjectRuntime* runtime = runtimeFor(path);
    if (!project || !runtime)
        return readyOutcome(StartOutcome::failed(QStringLiteral("the project was removed")));
    // A second start of an active project (also one started elsewhere) does nothing; its
    // outcome is that of the start under way.
    if (runtime->status().isActive())
        return runtime->currentStart();
    // Inspect first, then start over. Once only: in demo mode inspection adds no record, and
    // the start then goes on without one.
    if (!infoFor(path) && !inspected) {
        auto outcome = std::make_shared<QPromise<StartOutcome>>();
        outcome->start();
        refreshInfoThen(path, [this, path, explicitPort, outcome] {
            deliverTo(this, startInspected(path, explicitPort, true),
                      [outcome](const StartOutcome& result) {
                          outcome->addResult(result);
                          outcome->finish();
                      });
        });
        return outcome->future();
    }

    const RunModeKind mode = effectiveMode(*project, infoFor(path));
    const StartCommandResult result = startCommand(path, explicitPort);
    if (const auto* refusal = std::get_if<StartRefusal>(&result))
        return runtime->startRefused(refusal->message);
    const StartCommand& command = std::get<StartCommand>(result);
    QFuture<StartOutcome> outcome = runtime->startAccepted(command.commandLine);

    Environment environment = ShellEnvironment::childEnvironment(rawShellEnv_, settings_.nodePath);
    if (command.clearCloudflareEnv)
        environment.remove(QStringLiteral("CLOUDFLARE_ENV"));
    ChildCallbacks callbacks;
    // The model is the callbacks' context: they run on the main thread, in arrival order, and
    // are dropped once the model is gone. They look the run state up and never create one.
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
    const QFuture<StartResult> starting = processManager_->start(
        path, command.commandLine, command.workingFolder, environment, this, std::move(callbacks));
    deliverTo(this, starting, [this, path, mode](const StartResult& started) {
        applyStartResult(path, mode, started.pid,
                         started.error ? started.error->description() : QString());
    });
    return outcome;
}

void AppModel::applyStartResult(const QString& path, RunModeKind mode, std::optional<qint32> pid,
                                const QString& failure)
{
    const bool exitedAlready = startsInFlight_.take(path);
    ProjectRuntime* runtime = runtimeFor(path);
    if (!pid) {
        if (runtime)
            runtime->spawnFailed(failure);
        finishPendingRemoval(path);
        return;
    }
    // A child that was quick to exit has been handled already: nothing of it may linger, and
    // a removal that waited for it goes ahead.
    if (exitedAlready || !runtime) {
        finishPendingRemoval(path);
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
        const std::optional<Project> project = findProject(path);
        runtime->readyFallback(started, isWranglerMode(mode) && project && project->port
                                            ? std::optional<QUrl>(localAddress(*project->port))
                                            : std::nullopt);
    });
}

void AppModel::handleOutputLines(const QString& path, const OutputLines& lines, RunModeKind mode)
{
    ProjectRuntime* runtime = runtimeFor(path);
    if (!runtime)
        return;
    OutputHooks hooks;
    hooks.activeOwnerOfPort = [this, path](int port) {
        QList<PortOwnerCandidate> candidates;
        candidates.reserve(projects_.size());
        for (const Project& project : std::as_const(projects_))
            candidates.append({project.path, displayName(project), runtimeFor(project.path)});
        return findPortOwner(candidates, path, port);
    };
    hooks.adoptPort = [this, path](int port) { setPort(path, port); };
    // One delivery of the output channel is one batch of the log.
    ::handleOutputLines(*runtime, lines, mode, hooks);
}

void AppModel::handleExit(const QString& path, int exitCode, bool stopRequested)
{
    if (const auto inFlight = startsInFlight_.find(path); inFlight != startsInFlight_.end())
        inFlight.value() = true;
    if (ProjectRuntime* runtime = runtimeFor(path)) {
        runtime->exited(exitCode, stopRequested);
        if (runtime->external())
            rememberStartTimes(runtime->externalPIDs());
    }
    removeRunningRecord(path);
    finishPendingRemoval(path);
}

bool AppModel::hasServerHere(const QString& path) const
{
    const ProjectRuntime* runtime = runtimeFor(path);
    return startsInFlight_.contains(path) || (runtime && runtime->managed());
}

void AppModel::startOnFreePort(const QString& path)
{
    const ProjectRuntime* self = runtimeFor(path);
    if (!self)
        return;
    QList<int> activePorts;
    for (const Project& project : std::as_const(projects_)) {
        const ProjectRuntime* runtime = runtimeFor(project.path);
        if (runtime && runtime->status().isActive() && runtime->url() && runtime->url()->port() > 0)
            activePorts.append(runtime->url()->port());
    }
    const std::optional<PortConflict>& conflict = self->portConflict();
    const int port = PortAllocation::portForMovingOff(
        activePorts, conflict ? std::optional<int>(conflict->port) : std::nullopt);
    QMetaObject::invokeMethod(
        this, [this, path, port] { startProject(path, port); }, Qt::QueuedConnection);
}

void AppModel::stopProject(const QString& path)
{
    stopProjectAs(path, false, {});
}

void AppModel::stopProjectConfirmed(const QString& path)
{
    stopProjectAs(path, true, {});
}

void AppModel::stopProjectThen(const QString& path, std::function<void()> done)
{
    stopProjectAs(path, false, std::move(done));
}

void AppModel::stopProjectAs(const QString& path, bool confirmed, std::function<void()> done)
{
    const auto finish = [done = std::move(done)] {
        if (done)
            done();
    };
    ProjectRuntime* runtime = runtimeFor(path);
    if (hasServerHere(path)) {
        deliverTo(this, processManager_->stop(path), finish); // the exit report sets the state
    } else if (runtime && runtime->external() && confirmed) {
        stopExternalProcesses(path);
        finish();
    } else if (runtime && runtime->external()) {
        confirmExternalStop(path, false, [finish](bool) { finish(); });
    } else {
        finish();
    }
}

void AppModel::stopEachActive(std::function<void()> done)
{
    QStringList active;
    for (const Project& project : std::as_const(projects_))
        if (const ProjectRuntime* runtime = runtimeFor(project.path);
            runtime && runtime->status().isActive())
            active.append(project.path);
    stopInTurn(this, active, 0, std::move(done));
}

QFuture<void> AppModel::whileActiveElsewhere(const QString& path)
{
    auto gone = std::make_shared<QPromise<void>>();
    gone->start();
    QFuture<void> future = gone->future();
    ProjectRuntime* runtime = runtimeFor(path);
    const auto stillThere = [runtime] {
        return runtime->status().isActive() || runtime->external();
    };
    if (!runtime || !stillThere()) {
        gone->finish();
        return future;
    }
    // One context per wait: deleting it ends both the watch and the time limit.
    auto* wait = new QObject(runtime);
    const auto end = [gone, wait] {
        gone->finish();
        wait->deleteLater();
    };
    connect(runtime, &ProjectRuntime::changed, wait, [stillThere, end] {
        if (!stillThere())
            end();
    });
    QTimer::singleShot(context_.restartCheckInterval * 80, wait, end);
    return future;
}

QFuture<StartOutcome> AppModel::restartProject(const QString& path)
{
    return restartProjectAs(path, false);
}

QFuture<StartOutcome> AppModel::restartProjectConfirmed(const QString& path)
{
    return restartProjectAs(path, true);
}

QFuture<StartOutcome> AppModel::restartProjectAs(const QString& path, bool confirmed)
{
    ProjectRuntime* runtime = runtimeFor(path);
    if (!runtime)
        return readyOutcome(StartOutcome::failed(QStringLiteral("the project was removed")));
    auto outcome = std::make_shared<QPromise<StartOutcome>>();
    outcome->start();
    const auto startAgain = [this, path, outcome] {
        deliverTo(this, startProject(path), [outcome](const StartOutcome& result) {
            outcome->addResult(result);
            outcome->finish();
        });
    };
    const auto notRestarted = [outcome](const QString& reason) {
        outcome->addResult(StartOutcome::failed(reason));
        outcome->finish();
    };
    if (runtime->external() && !runtime->managed()) {
        const auto afterStop = [this, path, startAgain, notRestarted](bool stopped) {
            if (!stopped) {
                notRestarted(QStringLiteral("the restart was cancelled"));
                return;
            }
            // The next external refresh clears the run state once the server has gone.
            deliverTo(this, whileActiveElsewhere(path), startAgain);
        };
        if (confirmed) {
            stopExternalProcesses(path);
            afterStop(true);
        } else {
            confirmExternalStop(path, true, afterStop);
        }
    } else if (runtime->managed()) {
        const QFuture<void> exit = runtime->exitApplied();
        deliverTo(this, processManager_->stop(path),
                  [this, exit, startAgain] { deliverTo(this, exit, startAgain); });
    } else {
        notRestarted(QStringLiteral("no server runs"));
    }
    return outcome->future();
}

void AppModel::stopAll(std::function<void()> done)
{
    // The exit reports come after the groups are gone; they end each run and remove its
    // running record, which a process that ends now must not leave behind.
    QList<QFuture<void>> exits;
    for (const ProjectRuntime* runtime : std::as_const(runtimes_))
        if (runtime->managed())
            exits.append(runtime->exitApplied());
    deliverTo(this, processManager_->stopAll(),
              [this, exits, done = std::move(done)] { awaitAll(this, exits, done); });
}
