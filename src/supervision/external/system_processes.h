#pragma once

#include "base/project.h"
#include "supervision/external/external_process.h"
#include "supervision/external/process_table.h"

#include <QFuture>
#include <QList>
#include <QSet>

#include <memory>
#include <optional>

// The operations on the live process table (/proc). Each takes a fresh look at the system,
// blocks for a moment and touches no shared state, so any thread may call it; the *Async
// forms return a future for the main thread to continue from.

QList<qint32> listAllPIDs();
QList<int> listeningPorts(qint32 pid);

// Parent, group and start time of one process; none when it is gone. The start time is the
// same whole number of seconds at every reading, so (pid, startSec, pgid) recognises a
// process again after the application restarted.
std::optional<ProcessInfo> processInfo(qint32 pid);

// See usageOfGroup(const ProcessTable&, qint32).
ProcessUsage usageOfGroup(qint32 pgid);

// See scanExternal(const ProcessTable&, ...). The background forms below run on the short-work
// pool (base/work_pools.h) and read the process table through `table`: one look at the system,
// made by the caller (so that a test can hand in its own) and used on that pool's thread only.
ExternalScan scanExternal(const QList<Project>& projects, const QSet<qint32>& excludedGroups);

QFuture<ExternalScan> scanExternalAsync(std::shared_ptr<const ProcessTable> table,
                                        QList<Project> projects, QSet<qint32> excludedGroups);

// The processes of one server: the group it leads when started here, else those found.
struct ServerProcesses
{
    std::optional<qint32> groupLeader;
    QList<qint32> externalPids;
    friend bool operator==(const ServerProcesses&, const ServerProcesses&) = default;
};

// One pass over several servers' processes, and when it was made.
struct UsageMeasurement
{
    qint64 steadyMs = 0;         // a monotonic clock, in milliseconds, as the pass began
    QList<ProcessUsage> servers; // in the order asked for
};

// Measures each server with usageOfServer(const ProcessTable&, ...).
QFuture<UsageMeasurement> measureServersAsync(std::shared_ptr<const ProcessTable> table,
                                              QList<ServerProcesses> servers);
