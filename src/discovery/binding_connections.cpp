#include "discovery/binding_connections.h"

namespace {

// Queue consumers are listed under the queue's name with this fixed detail.
bool isQueueConsumer(const WorkerBinding& binding)
{
    return binding.kind == BindingKind::queue && binding.detail == u"consumer";
}

QString consumerOf(const QString& queue, const QList<WorkerBinding>& bindings,
                   const QString& selfWorker, const QList<DevRegistryEntry>& entries)
{
    for (const WorkerBinding& binding : bindings)
        if (isQueueConsumer(binding) && binding.name == queue)
            return selfWorker;
    for (const DevRegistryEntry& entry : entries)
        if (entry.live && entry.queueConsumers.contains(queue))
            return entry.workerName;
    return {};
}

} // namespace

QList<BindingConnection> bindingConnections(const QList<WorkerBinding>& bindings,
                                            const QString& selfWorker,
                                            const QList<DevRegistryEntry>& entries)
{
    QList<BindingConnection> connections;
    for (const WorkerBinding& binding : bindings) {
        BindingConnection connection{binding.id(), binding.name, {}, std::nullopt, false};
        if (const std::optional<QString> worker = binding.reachedWorker()) {
            connection.worker = *worker;
            const DevRegistryEntry* entry = findDevRegistryEntry(entries, connection.worker);
            connection.connected = (!selfWorker.isEmpty() && connection.worker == selfWorker) ||
                                   (entry && entry->live);
        } else if (binding.kind == BindingKind::queue && binding.detail &&
                   !isQueueConsumer(binding)) {
            connection.queue = *binding.detail;
            connection.worker = consumerOf(*binding.detail, bindings, selfWorker, entries);
            connection.connected = !connection.worker.isEmpty();
        } else {
            continue;
        }
        connections.append(std::move(connection));
    }
    return connections;
}
