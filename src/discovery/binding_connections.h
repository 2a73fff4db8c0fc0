#pragma once

#include "discovery/config/worker_binding.h"
#include "discovery/dev_registry.h"

#include <QList>
#include <QString>

#include <optional>

// Whether one binding that reaches another Worker finds it running in the dev registry.
struct BindingConnection
{
    QString bindingID; // WorkerBinding::id()
    QString binding;   // the binding's name
    // The Worker it reaches: named by the configuration, or for a queue producer the Worker
    // found consuming the queue (empty when none is).
    QString worker;
    std::optional<QString> queue; // set for a queue producer
    bool connected = false;

    friend bool operator==(const BindingConnection&, const BindingConnection&) = default;
};

// The connections of a Worker's bindings, in binding order: services, Durable Objects of
// another script and tail consumers that name a Worker, and queue producers. A binding to the
// Worker itself, or to a queue it consumes itself, is always connected, as Wrangler shows it.
QList<BindingConnection> bindingConnections(const QList<WorkerBinding>& bindings,
                                            const QString& selfWorker,
                                            const QList<DevRegistryEntry>& entries);
