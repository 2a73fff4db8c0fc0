// The memory of a running project's server, measured in the background.
#include "core/model/app_model.h"
#include "base/deliver.h"
#include "supervision/external/process_memory.h"
#include "supervision/external/process_table.h"
#include "supervision/project_runtime.h"

#include <QtConcurrent>

void AppModel::refreshMemory(const QString& path)
{
    if (isDemo_)
        return;
    ProjectRuntime* runtime = runtimeFor(path);
    if (!runtime->status().isActive()) {
        runtime->setMemoryBytes(std::nullopt);
        return;
    }
    // A managed server leads its own process group: shell, package manager, Node and the
    // runtimes count together. A server found elsewhere is measured by its own processes.
    std::shared_ptr<ProcessTable> table = makeProcessTable();
    const QFuture<quint64> measurement =
        QtConcurrent::run([table, leader = runtime->pid(), pids = runtime->externalPIDs()] {
            return memoryOfServer(*table, leader, pids);
        });
    deliverTo(this, measurement, [this, path](quint64 bytes) {
        // The project may have been removed or its server stopped while measuring: a removed
        // project gets no new run state, a stopped one keeps showing no memory.
        ProjectRuntime* current = runtimes_.value(path);
        if (current && current->status().isActive())
            current->setMemoryBytes(bytes);
    });
}
