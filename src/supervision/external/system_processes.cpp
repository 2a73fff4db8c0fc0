#include "supervision/external/system_processes.h"

#include "base/work_pools.h"
#include "supervision/external/external_scan.h"
#include "supervision/external/proc_process_table.h"
#include "supervision/external/process_memory.h"

#include <QtConcurrent/QtConcurrentRun>

QList<qint32> listAllPIDs()
{
    return ProcProcessTable().listAllPIDs();
}

QList<int> listeningPorts(qint32 pid)
{
    return ProcProcessTable().listeningPorts(pid);
}

std::optional<ProcessInfo> processInfo(qint32 pid)
{
    return ProcProcessTable().info(pid);
}

quint64 memoryOfGroup(qint32 pgid)
{
    return memoryOfGroup(ProcProcessTable(), pgid);
}

ExternalScan scanExternal(const QList<Project>& projects, const QSet<qint32>& excludedGroups)
{
    return scanExternal(ProcProcessTable(), projects, excludedGroups);
}

QFuture<ExternalScan> scanExternalAsync(std::shared_ptr<const ProcessTable> table,
                                        QList<Project> projects, QSet<qint32> excludedGroups)
{
    return QtConcurrent::run(WorkPools::shortWork(),
                             [table = std::move(table), projects = std::move(projects),
                              excluded = std::move(excludedGroups)] {
                                 return scanExternal(*table, projects, excluded);
                             });
}

QFuture<quint64> measureServerMemoryAsync(std::shared_ptr<const ProcessTable> table,
                                          std::optional<qint32> groupLeader,
                                          QList<qint32> externalPids)
{
    return QtConcurrent::run(WorkPools::shortWork(), [table = std::move(table), groupLeader,
                                                      pids = std::move(externalPids)] {
        return memoryOfServer(*table, groupLeader, pids);
    });
}
