#include "supervision/external/process_memory.h"

quint64 memoryOfGroup(const ProcessTable& table, qint32 pgid)
{
    quint64 total = 0;
    for (qint32 pid : table.listAllPIDs()) {
        const std::optional<ProcessInfo> info = table.info(pid);
        if (info && info->pgid == pgid)
            total += table.residentBytes(pid).value_or(0);
    }
    return total;
}

quint64 memoryOfProcesses(const ProcessTable& table, const QList<qint32>& pids)
{
    quint64 total = 0;
    for (qint32 pid : pids)
        total += table.residentBytes(pid).value_or(0);
    return total;
}

quint64 memoryOfServer(const ProcessTable& table, std::optional<qint32> groupLeader,
                       const QList<qint32>& externalPids)
{
    if (groupLeader)
        return memoryOfGroup(table, *groupLeader);
    return memoryOfProcesses(table, externalPids);
}
