#pragma once

#include "discovery/binding_connections.h"
#include "discovery/start_order.h"

#include <QList>
#include <QString>
#include <QStringList>

class AppModel;

// What the dev registry says about the registered projects, read from the model.

// The project's Worker under the registry's name rule; empty before inspection or without one.
QString registryWorkerNameOf(const AppModel& model, const QString& path);
// The registered project that provides a Worker; empty when none or several do.
QString projectOfWorker(const AppModel& model, const QString& worker);
// Whether the project's Worker is live in the registry.
bool isRegistered(const AppModel& model, const QString& path);
// The connections of the project's bindings that reach other Workers; none before inspection.
QList<BindingConnection> bindingConnectionsOf(const AppModel& model, const QString& path);
// The order in which to start the project with every registered project its services, Durable
// Objects of other scripts and tail consumers need.
StartPlan serviceStartPlan(const AppModel& model, const QString& path);
// Whether the start order of the project holds another registered project.
bool needsLocalServices(const AppModel& model, const QString& path);
// The registry folders of the dev servers the model starts (their child environment).
QStringList devRegistryFoldersOf(const AppModel& model);
