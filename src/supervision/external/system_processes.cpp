#include "supervision/external/system_processes.h"

#include "base/work_pools.h"
#include "supervision/external/external_scan.h"
#include "supervision/external/proc_process_table.h"
#include "supervision/external/process_usage.h"

#include <QDeadlineTimer>
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

ProcessUsage usageOfGroup(qint32 pgid)
{
    return usageOfGroup(ProcProcessTable(), pgid);
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

QFuture<UsageMeasurement> measureServersAsync(std::shared_ptr<const ProcessTable> table,
                                              QList<ServerProcesses> servers)
{
    return QtConcurrent::run(
        WorkPools::shortWork(), [table = std::move(table), servers = std::move(servers)] {
            UsageMeasurement measurement;
            measurement.steadyMs = QDeadlineTimer::current().deadline();
            measurement.servers.reserve(servers.size());
            for (const ServerProcesses& server : servers)
                measurement.servers.append(
                    usageOfServer(*table, server.groupLeader, server.externalPids));
            return measurement;
        });
}
