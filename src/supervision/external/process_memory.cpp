#include "supervision/external/process_memory.h"

quint64 memoryOfGroup(const ProcessTable& table, qint32 pgid)
{
    quint64 total = 0;
    if (pgid < 1)
        return total; // kernel threads share group 0; negative ids name no group
    for (qint32 pid : table.listAllPIDs()) {
        if (table.processGroup(pid) == pgid)
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
