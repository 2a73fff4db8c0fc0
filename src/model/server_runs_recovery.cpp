// Running records: every child started here is written down until its exit has been handled,
// so that servers left running by a crash can be found and stopped at the next launch.
#include "model/catalogue.h"
#include "model/future_helpers.h"
#include "model/server_runs.h"
#include "supervision/external/process_table.h"
#include "supervision/process_manager.h"

std::unique_ptr<ProcessTable> ServerRuns::makeProcessTable() const
{
    if (context_.processTable)
        return context_.processTable();
    return context_.services.processTable();
}

void ServerRuns::rememberStartTimes(const QList<qint32>& pids)
{
    std::unique_ptr<ProcessTable> table;
    for (const qint32 pid : pids) {
        if (externalStartTimes_.contains(pid))
            continue;
        if (!table)
            table = makeProcessTable();
        if (const std::optional<ProcessInfo> info = table->info(pid))
            externalStartTimes_.insert(pid, info->startSec);
    }
}

void ServerRuns::addRunningRecord(const QString& projectID, qint32 pid)
{
    // A process that is already gone cannot be recognised later: nothing is written.
    const std::optional<ProcessInfo> info = makeProcessTable()->info(pid);
    if (!info)
        return;
    QList<RunningRecord> records = context_.services.loadRunningRecords();
    records.removeIf([&](const RunningRecord& record) { return record.projectID == projectID; });
    records.append({projectID, pid, info->startSec});
    context_.services.saveRunningRecords(records);
}

void ServerRuns::removeRunningRecord(const QString& projectID)
{
    QList<RunningRecord> records = context_.services.loadRunningRecords();
    const qsizetype removed = records.removeIf(
        [&](const RunningRecord& record) { return record.projectID == projectID; });
    // No record is left (also when the file held none that matched, or nothing readable):
    // the file is deleted.
    if (removed > 0 || records.isEmpty())
        context_.services.saveRunningRecords(records);
}

namespace {

// Terminates the groups one after the other, then calls `done`.
void terminateInTurn(ProcessManager& manager, QObject* context, QList<qint32> groups,
                     std::function<void()> done)
{
    if (groups.isEmpty()) {
        done();
        return;
    }
    const qint32 next = groups.takeFirst();
    deliverTo(context, manager.terminateGroup(next),
              [&manager, context, groups = std::move(groups), done = std::move(done)] {
                  terminateInTurn(manager, context, groups, done);
              });
}

} // namespace

QFuture<void> ServerRuns::recoverOrphans()
{
    const QList<RunningRecord> records = context_.services.loadRunningRecords();
    // The same pid, started at exactly the same second, still leading the group we created:
    // anything else is a different process that merely reuses the number.
    const std::unique_ptr<ProcessTable> table = makeProcessTable();
    QList<RunningRecord> kept;
    QList<RunningRecord> ours;
    for (const RunningRecord& record : records) {
        // Started by this run before the recovery came round (the tray works from the first
        // moment): not a left-over, and its record stays.
        const ProjectRuntime* runtime = runtimeFor(record.projectID);
        if (runtime && runtime->managed() && runtime->pid() == record.pid) {
            ours.append(record);
            continue;
        }
        const std::optional<ProcessInfo> info = table->info(record.pid);
        if (info && info->startSec == record.startSec && info->pgid == record.pid)
            kept.append(record);
    }
    // Consumed whatever the outcome: the kept records live on only in memory.
    context_.services.saveRunningRecords(ours); // deletes the file when there are none
    if (kept.isEmpty() || !context_.desktop.alerts)
        return Futures::ready();

    QStringList names;
    QList<qint32> groups;
    for (const RunningRecord& record : std::as_const(kept)) {
        const std::optional<Project> project = catalogue_.findProject(record.projectID);
        names.append(project ? project->name : record.projectID);
        groups.append(record.pid);
    }
    const Alert alert{
        QStringLiteral("Found projects still running from a previous session"),
        names.join(QStringLiteral(", ")) +
            QStringLiteral("\n\nThese were started by Tallowmere and weren't shut down (the app "
                           "probably crashed). Stop them?"),
        {QStringLiteral("Stop Them"), QStringLiteral("Leave Running")},
        AlertStyle::warning};
    auto answered = Futures::shared<void>();
    QPointer<ServerRuns> runs(this);
    context_.desktop.alerts->show(alert, [runs, groups, answered](int choice) {
        // Whoever awaits the answer may use this object: once it is gone, the future is
        // cancelled with the promise and nobody hears of it.
        if (!runs)
            return;
        // The stops are a task of their own (up to the whole escalation per group): the
        // caller goes on at once, and the projects show their final state when they are done.
        if (choice == 0)
            terminateInTurn(*runs->processManager_, runs.data(), groups,
                            [runs] { runs->refreshExternal(); });
        answered->finish();
    });
    return answered->future();
}
