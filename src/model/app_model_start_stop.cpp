// Starting, stopping and restarting dev servers, and what their output and exit do.
#include "base/deliver.h"
#include "model/app_model.h"
#include "runs/output_handling.h"
#include "runs/port_allocation.h"
#include "runs/project_runtime.h"
#include "supervision/process_manager.h"
#include "supervision/shell_environment.h"

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

void AppModel::startProject(const QString& path, std::optional<int> explicitPort)
{
    startInspected(path, explicitPort, false);
}

void AppModel::startInspected(const QString& path, std::optional<int> explicitPort, bool inspected)
{
    const std::optional<Project> project = findProject(path);
    if (!project)
        return;
    ProjectRuntime* runtime = runtimeFor(path);
    // A second start of an active project (also one started elsewhere) does nothing.
    if (runtime->status().isActive())
        return;
    // Inspect first, then start over. Once only: in demo mode inspection adds no record, and
    // the start then goes on without one.
    if (!infoFor(path) && !inspected) {
        refreshInfoThen(path,
                        [this, path, explicitPort] { startInspected(path, explicitPort, true); });
        return;
    }

    const RunModeKind mode = effectiveMode(*project, infoFor(path));
    const StartCommandResult result = startCommand(path, explicitPort);
    if (const auto* refusal = std::get_if<StartRefusal>(&result)) {
        runtime->setStatus(ProjectStatus::error(refusal->message));
        return;
    }
    const StartCommand& command = std::get<StartCommand>(result);

    runtime->resetForStart();
    runtime->log()->append(RuntimeLog::startAccepted(command.commandLine), false);

    Environment environment = ShellEnvironment::childEnvironment(rawShellEnv_, settings_.nodePath);
    if (command.clearCloudflareEnv)
        environment.remove(QStringLiteral("CLOUDFLARE_ENV"));
    ChildCallbacks callbacks;
    // The model is the callbacks' context: they run on the main thread, in arrival order, and
    // are dropped once the model is gone.
    // Output after the exit comes from processes that outlived the child: it is logged, never
    // read for a run state that may belong to a newer start by then.
    const auto exited = std::make_shared<bool>(false);
    callbacks.onLines = [this, path, mode, exited](const OutputLines& lines) {
        if (!*exited)
            handleOutputLines(path, lines, mode);
        else if (ProjectRuntime* runtime = runtimes_.value(path))
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
}

void AppModel::applyStartResult(const QString& path, RunModeKind mode, std::optional<qint32> pid,
                                const QString& failure)
{
    const bool exitedAlready = startsInFlight_.take(path);
    ProjectRuntime* runtime = runtimeFor(path);
    if (!pid) {
        runtime->setStatus(ProjectStatus::error(failure));
        runtime->log()->append(RuntimeLog::spawnFailed(failure), true);
        return;
    }
    // A child that was quick to exit has been handled already: nothing of it may linger.
    if (exitedAlready)
        return;
    runtime->setPid(*pid);
    runtime->setManaged(true);
    addRunningRecord(path, *pid);

    // A server that never prints a recognisable line is shown as running after a while.
    const qint32 started = *pid;
    QTimer::singleShot(context_.readyFallbackDelay, this, [this, path, mode, started] {
        ProjectRuntime* runtime = runtimeFor(path);
        if (runtime->status().kind() != ProjectStatus::Kind::starting || runtime->pid() != started)
            return;
        runtime->setStatus(ProjectStatus::running());
        const std::optional<Project> project = findProject(path);
        if (isWranglerMode(mode) && project && project->port)
            runtime->setUrl(localAddress(*project->port));
    });
}

void AppModel::handleOutputLines(const QString& path, const OutputLines& lines, RunModeKind mode)
{
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
    ::handleOutputLines(*runtimeFor(path), lines, mode, hooks);
}

void AppModel::handleExit(const QString& path, int exitCode, bool stopRequested)
{
    if (const auto inFlight = startsInFlight_.find(path); inFlight != startsInFlight_.end())
        inFlight.value() = true;
    ProjectRuntime* runtime = runtimeFor(path);
    runtime->applyExit(exitCode, stopRequested);
    if (runtime->external())
        rememberStartTimes(runtime->externalPIDs());
    removeRunningRecord(path);
}

void AppModel::startOnFreePort(const QString& path)
{
    QList<int> activePorts;
    for (const Project& project : std::as_const(projects_)) {
        const ProjectRuntime* runtime = runtimeFor(project.path);
        if (runtime->status().isActive() && runtime->url() && runtime->url()->port() > 0)
            activePorts.append(runtime->url()->port());
    }
    const std::optional<PortConflict>& conflict = runtimeFor(path)->portConflict();
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
    if (runtime->managed()) {
        deliverTo(this, processManager_->stop(path), finish); // the exit report sets the state
    } else if (runtime->external() && confirmed) {
        stopExternalProcesses(path);
        finish();
    } else if (runtime->external()) {
        confirmExternalStop(path, false, [finish](bool) { finish(); });
    } else {
        finish();
    }
}

void AppModel::stopEachActive(std::function<void()> done)
{
    QStringList active;
    for (const Project& project : std::as_const(projects_))
        if (runtimeFor(project.path)->status().isActive())
            active.append(project.path);
    stopInTurn(this, active, 0, std::move(done));
}

void AppModel::waitWhile(std::function<bool()> condition, int checks, std::function<void()> then)
{
    if (checks <= 0 || !condition()) {
        then();
        return;
    }
    QTimer::singleShot(context_.restartCheckInterval, this,
                       [this, condition = std::move(condition), checks, then = std::move(then)] {
                           waitWhile(condition, checks - 1, then);
                       });
}

void AppModel::restartProject(const QString& path)
{
    restartProjectAs(path, false);
}

void AppModel::restartProjectConfirmed(const QString& path)
{
    restartProjectAs(path, true);
}

void AppModel::restartProjectAs(const QString& path, bool confirmed)
{
    ProjectRuntime* runtime = runtimeFor(path);
    const auto startAgain = [this, path] { startProject(path); };
    if (runtime->external() && !runtime->managed()) {
        const auto afterStop = [this, path, startAgain](bool stopped) {
            if (!stopped)
                return;
            // The next external refresh clears the run state once the server has gone.
            waitWhile(
                [this, path] {
                    const ProjectRuntime* runtime = runtimeFor(path);
                    return runtime->status().isActive() || runtime->external();
                },
                80, startAgain);
        };
        if (confirmed) {
            stopExternalProcesses(path);
            afterStop(true);
        } else {
            confirmExternalStop(path, true, afterStop);
        }
    } else if (runtime->managed()) {
        deliverTo(this, processManager_->stop(path), [this, path, startAgain] {
            // The exit report clears `managed`.
            waitWhile([this, path] { return runtimeFor(path)->managed(); }, 30, startAgain);
        });
    }
}

void AppModel::stopAll(std::function<void()> done)
{
    deliverTo(this, processManager_->stopAll(), [this, done = std::move(done)] {
        // The exit reports come after the groups are gone; they end each run and remove its
        // running record, which a process that ends now must not leave behind.
        const auto exitsPending = [this] {
            return std::any_of(runtimes_.cbegin(), runtimes_.cend(),
                               [](const ProjectRuntime* runtime) { return runtime->managed(); });
        };
        waitWhile(exitsPending, 30, [done] {
            if (done)
                done();
        });
    });
}
