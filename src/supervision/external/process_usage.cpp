#include "supervision/external/process_usage.h"

ProcessUsage usageOfGroup(const ProcessTable& table, qint32 pgid)
{
    ProcessUsage total;
    if (pgid < 1)
        return total; // kernel threads share group 0; negative ids name no group
    for (qint32 pid : table.listAllPIDs()) {
        if (table.processGroup(pid) == pgid)
            total += table.usage(pid).value_or(ProcessUsage{});
    }
    return total;
}

ProcessUsage usageOfProcesses(const ProcessTable& table, const QList<qint32>& pids)
{
    ProcessUsage total;
    for (qint32 pid : pids)
        total += table.usage(pid).value_or(ProcessUsage{});
    return total;
}

ProcessUsage usageOfServer(const ProcessTable& table, std::optional<qint32> groupLeader,
                           const QList<qint32>& externalPids)
{
    if (groupLeader)
        return usageOfGroup(table, *groupLeader);
    return usageOfProcesses(table, externalPids);
}
