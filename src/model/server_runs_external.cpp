// Servers started outside the application (from a terminal): found in the process table in
// the background, shown on the projects' run states, stopped after a question and looked for
// again while the main window is shown. Also the questions before stopping and quitting, and
// the memory and processor time of a server.
#include "base/product_name.h"
#include "model/catalogue.h"
#include "model/future_helpers.h"
#include "model/server_runs.h"
#include "supervision/external/process_table.h"
#include "supervision/external/system_processes.h"

#include <QDeadlineTimer>
#include <QTimer>

#include <csignal>

namespace {

Alert externalStopAlert(const QString& name, bool restart)
{
    const QString notStartedHere = QStringLiteral("This project wasn't started by ") +
                                   Product::name + QStringLiteral(" (probably from a terminal). ");
    if (restart)
        return {QStringLiteral("Restart ") + name + u'?',
                notStartedHere + QStringLiteral("It will be stopped and started again from "
                                                "here, so its logs become available."),
                {QStringLiteral("Restart"), QStringLiteral("Cancel")},
                AlertStyle::warning};
    return {QStringLiteral("Stop ") + name + u'?',
            notStartedHere + QStringLiteral("Stopping it will send a quit signal to its "
                                            "wrangler/workerd processes."),
            {QStringLiteral("Stop"), QStringLiteral("Cancel")},
            AlertStyle::warning};
}

} // namespace

QFuture<void> ServerRuns::refreshExternal()
{
    // The groups of children started here belong to the application, not to a terminal.
    QSet<qint32> excluded;
    for (const ProjectRuntime* runtime : std::as_const(runtimes_))
        if (runtime->managed() && runtime->pid())
            excluded.insert(*runtime->pid());
    const QFuture<ExternalScan> scanning =
        scanExternalAsync(makeProcessTable(), catalogue_.projects(), excluded);
    auto applied = Futures::shared<void>();
    deliverTo(this, scanning, [this, applied](const ExternalScan& scan) {
        applyExternalScan(scan);
        applied->finish();
    });
    return applied->future();
}

void ServerRuns::applyExternalScan(const ExternalScan& scan)
{
    for (const Project& project : catalogue_.projects()) {
        ProjectRuntime* runtime = runtimeFor(project.path);
        if (!runtime || runtime->managed() ||
            runtime->status().kind() == ProjectStatus::Kind::starting)
            continue;
        const auto found = scan.constFind(project.path);
        if (found == scan.cend()) {
            if (!runtime->external())
                continue;
            // One pass that misses a live server must not stop showing it.
            const QList<qint32>& pids = runtime->externalPIDs();
            if (std::any_of(pids.begin(), pids.end(), &ProjectRuntime::processExists))
                continue;
            runtime->goneOutside();
            continue;
        }
        rememberStartTimes(found->pids);
        runtime->foundOutside(found->pids,
                              found->port
                                  ? std::optional<QUrl>(QUrl(QStringLiteral("http://localhost:") +
                                                             QString::number(*found->port)))
                                  : std::nullopt);
    }

    // Start times are kept only for pids that some run state still shows.
    QSet<qint32> shown;
    for (const ProjectRuntime* runtime : std::as_const(runtimes_))
        for (const qint32 pid : runtime->externalPIDs())
            shown.insert(pid);
    externalStartTimes_.removeIf([&](const auto& entry) { return !shown.contains(entry.key()); });
}

QFuture<bool> ServerRuns::confirmExternalStop(const QString& path, bool restart)
{
    const std::optional<Project> project = catalogue_.findProject(path);
    if (!project || !context_.desktop.alerts)
        return Futures::ready(false);
    auto answer = Futures::shared<bool>();
    QPointer<ServerRuns> runs(this);
    context_.desktop.alerts->show(externalStopAlert(project->name, restart),
                                  [runs, path, answer](int choice) {
                                      if (!runs || choice != 0) {
                                          Futures::fulfil(*answer, false);
                                          return;
                                      }
                                      runs->stopExternalProcesses(path);
                                      Futures::fulfil(*answer, true);
                                  });
    return answer->future();
}

Alert ServerRuns::externalStopQuestion(const QString& path, bool restart) const
{
    const std::optional<Project> project = catalogue_.findProject(path);
    return externalStopAlert(project ? project->name : QString(), restart);
}

void ServerRuns::stopExternalProcesses(const QString& path)
{
    ProjectRuntime* runtime = runtimeFor(path);
    if (!runtime)
        return;
    // Each process on its own, not its group: a terminal's group may hold the shell.
    // A pid that now names another process (a different start time) is left alone.
    const std::unique_ptr<ProcessTable> table = makeProcessTable();
    for (const qint32 pid : runtime->externalPIDs()) {
        const std::optional<ProcessInfo> info = table->info(pid);
        const auto recorded = externalStartTimes_.constFind(pid);
        if (info && recorded != externalStartTimes_.cend() && info->startSec == recorded.value()) {
            // Then SIGCONT, as for a group started here: a stopped process (a terminal's
            // Ctrl+Z) acts on the SIGTERM only once it runs again.
            ::kill(pid, SIGTERM);
            ::kill(pid, SIGCONT);
        }
    }
    runtime->outsideStopSent();
    QTimer::singleShot(context_.externalRefreshDelay, this, [this] { refreshExternal(); });
}

QFuture<bool> ServerRuns::confirmQuit()
{
    QStringList running;
    for (const Project& project : catalogue_.projects()) {
        const ProjectRuntime* runtime = runtimeFor(project.path);
        if (runtime && runtime->managed())
            running.append(project.name);
    }
    if (running.isEmpty() || !context_.desktop.alerts)
        return Futures::ready(running.isEmpty());
    const qsizetype count = running.size();
    const Alert alert{
        QStringLiteral("Stop ") + QString::number(count) + QStringLiteral(" running project") +
            (count == 1 ? QString() : QStringLiteral("s")) + QStringLiteral(" and quit?"),
        running.join(QStringLiteral(", ")),
        {QStringLiteral("Stop and Quit"), QStringLiteral("Cancel")},
        AlertStyle::warning};
    auto answer = Futures::shared<bool>();
    context_.desktop.alerts->show(alert,
                                  [answer](int choice) { Futures::fulfil(*answer, choice == 0); });
    return answer->future();
}

void ServerRuns::startPolling()
{
    delete pollTask_.data();
    // The timer is the poll's handle: deleting it cancels the loop, and as a child of this
    // object it goes with it.
    auto* task = new QTimer(this);
    task->setSingleShot(true);
    task->setInterval(context_.pollInterval);
    pollTask_ = task;
    connect(task, &QTimer::timeout, this, [this, task] { pollExternal(task); });
    // A window that comes back shows the current state at once, not after a full interval.
    pollExternal(task);
}

void ServerRuns::stopPolling()
{
    delete pollTask_.data();
}

void ServerRuns::pollExternal(QPointer<QTimer> task)
{
    deliverTo(this, refreshExternal(), [this, task = std::move(task)] {
        // Sleep only when this poll has not been cancelled (or replaced) meanwhile.
        if (task && task == pollTask_)
            task->start();
    });
}

QFuture<void> ServerRuns::refreshUsage(const QStringList& paths)
{
    QStringList measured;
    QList<ServerProcesses> servers;
    for (const QString& path : paths) {
        ProjectRuntime* runtime = runtimeFor(path);
        if (!runtime)
            continue;
        if (!runtime->status().isActive()) {
            runtime->memoryMeasured(std::nullopt);
            continue;
        }
        // A server shown without a process of its own (a made-up one) has nothing to measure.
        if (!runtime->pid() && runtime->externalPIDs().isEmpty())
            continue;
        // A managed server leads its own process group: shell, package manager, Node and the
        // runtimes count together. A server found elsewhere is measured by its own processes.
        measured.append(path);
        servers.append({runtime->pid(), runtime->externalPIDs()});
    }
    if (servers.isEmpty())
        return Futures::ready();
    const QFuture<UsageMeasurement> measuring = measureServersAsync(makeProcessTable(), servers);
    auto applied = Futures::shared<void>();
    deliverTo(this, measuring,
              [this, measured, servers, applied](const UsageMeasurement& measurement) {
                  for (qsizetype i = 0; i < measured.size(); ++i) {
                      // A removed project has no run state; one whose server stopped or was
                      // replaced while measuring takes nothing of the old server's.
                      ProjectRuntime* runtime = runtimeFor(measured[i]);
                      if (!runtime || !runtime->status().isActive() ||
                          servers[i] != ServerProcesses{runtime->pid(), runtime->externalPIDs()})
                          continue;
                      const ProcessUsage& usage = measurement.servers[i];
                      runtime->memoryMeasured(usage.memoryBytes);
                      runtime->activity()->cpuSampled(usage.cpuTicks, measurement.steadyMs);
                  }
                  applied->finish();
              });
    return applied->future();
}

QFuture<void> ServerRuns::refreshUsageOfActive()
{
    QStringList active;
    QStringList unsampled;
    const qint64 now = QDeadlineTimer::current().deadline();
    for (auto it = runtimes_.cbegin(); it != runtimes_.cend(); ++it) {
        const ProjectRuntime* runtime = it.value();
        if (!runtime->status().isActive() || (!runtime->pid() && runtime->externalPIDs().isEmpty()))
            continue;
        active.append(it.key());
        const std::optional<qint64> sampled = runtime->activity()->cpuSampledAtMs();
        // No baseline, one too old to stand for now, or one too recent to give a share.
        if (!sampled || now - *sampled > usageBaselineAge ||
            now - *sampled < ServerActivity::minCpuWindowMs)
            unsampled.append(it.key());
    }
    QFuture<void> first = refreshUsage(active);
    if (unsampled.isEmpty())
        return first;
    auto done = Futures::shared<void>();
    deliverTo(this, first, [this, unsampled, done] {
        QTimer::singleShot(usageSecondLook, this, [this, unsampled, done] {
            Futures::forward(this, refreshUsage(unsampled), done);
        });
    });
    return done->future();
}
