// Running records: every child started here is written down until its exit has been handled,
// so that servers left running by a crash can be found and stopped at the next launch.
#include "base/deliver.h"
#include "model/app_model.h"
#include "storage/running_record.h"
#include "storage/storage.h"
#include "desktop/alert_presenter.h"
#include "supervision/external/proc_process_table.h"
#include "supervision/process_manager.h"
#include "runs/project_runtime.h"

#include <QFuture>

std::unique_ptr<ProcessTable> AppModel::makeProcessTable() const
{
    if (context_.processTable)
        return context_.processTable();
    return std::make_unique<ProcProcessTable>();
}

void AppModel::rememberStartTimes(const QList<qint32>& pids)
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

void AppModel::addRunningRecord(const QString& projectID, qint32 pid)
{
    // A process that is already gone cannot be recognised later: nothing is written.
    const std::optional<ProcessInfo> info = makeProcessTable()->info(pid);
    if (!info)
        return;
    QList<RunningRecord> records = loadRunningRecords();
    records.removeIf([&](const RunningRecord& record) { return record.projectID == projectID; });
    records.append({projectID, pid, info->startSec});
    saveRunningRecords(records);
}

void AppModel::removeRunningRecord(const QString& projectID)
{
    QList<RunningRecord> records = loadRunningRecords();
    const qsizetype removed = records.removeIf(
        [&](const RunningRecord& record) { return record.projectID == projectID; });
    // No record is left (also when the file held none that matched, or nothing readable):
    // the file is deleted.
    if (removed > 0 || records.isEmpty())
        saveRunningRecords(records);
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

void AppModel::recoverOrphans(std::function<void()> done)
{
    const auto finish = [done = std::move(done)] {
        if (done)
            done();
    };
    if (isDemo_) {
        finish();
        return;
    }
    const QList<RunningRecord> records = loadRunningRecords();
    // The same pid, started at exactly the same second, still leading the group we created:
    // anything else is a different process that merely reuses the number.
    const std::unique_ptr<ProcessTable> table = makeProcessTable();
    QList<RunningRecord> kept;
    QList<RunningRecord> ours;
    for (const RunningRecord& record : records) {
        // Started by this run before the recovery came round (the tray works from the first
        // moment): not a left-over, and its record stays.
        const auto runtime = runtimes_.constFind(record.projectID);
        if (runtime != runtimes_.cend() && runtime.value()->managed() &&
            runtime.value()->pid() == record.pid) {
            ours.append(record);
            continue;
        }
        const std::optional<ProcessInfo> info = table->info(record.pid);
        if (info && info->startSec == record.startSec && info->pgid == record.pid)
            kept.append(record);
    }
    // Consumed whatever the outcome: the kept records live on only in memory.
    saveRunningRecords(ours); // deletes the file when there are none
    if (kept.isEmpty() || !context_.desktop.alerts) {
        finish();
        return;
    }

    QStringList names;
    QList<qint32> groups;
    for (const RunningRecord& record : std::as_const(kept)) {
        const std::optional<Project> project = findProject(record.projectID);
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
    QPointer<AppModel> model(this);
    context_.desktop.alerts->show(alert, [model, groups, finish](int choice) {
        // The caller's `done` may use the model: once it is gone, nothing is called.
        if (!model)
            return;
        // The stops are a task of their own (up to the whole escalation per group): the
        // caller goes on at once, and the projects show their final state when they are done.
        if (choice == 0)
            terminateInTurn(*model->processManager_, model.data(), groups,
                            [model] { model->refreshExternal(); });
        finish();
    });
}
