// The memory of a running project's server, measured in the background.
#include "base/deliver.h"
#include "model/app_model.h"
#include "runs/project_runtime.h"
#include "supervision/external/system_processes.h"

void AppModel::refreshMemory(const QString& path, std::function<void()> done)
{
    const auto finish = [done = std::move(done)] {
        if (done)
            done();
    };
    if (isDemo_) {
        finish();
        return;
    }
    ProjectRuntime* runtime = runtimeFor(path);
    if (!runtime || !runtime->status().isActive()) {
        if (runtime)
            runtime->memoryMeasured(std::nullopt);
        finish();
        return;
    }
    // A managed server leads its own process group: shell, package manager, Node and the
    // runtimes count together. A server found elsewhere is measured by its own processes.
    const QFuture<quint64> measurement =
        measureServerMemoryAsync(makeProcessTable(), runtime->pid(), runtime->externalPIDs());
    deliverTo(this, measurement, [this, path, finish](quint64 bytes) {
        // The project may have been removed or its server stopped while measuring: a removed
        // project gets no new run state, a stopped one keeps showing no memory.
        if (ProjectRuntime* current = runtimeFor(path))
            current->memoryMeasured(bytes);
        finish();
    });
}
