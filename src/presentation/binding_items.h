#pragma once

#include "base/project.h"
#include "discovery/binding_connections.h"
#include "discovery/config/worker_binding.h"
#include "discovery/project_info.h"

#include <QList>
#include <QString>

#include <optional>

// How one kind of binding is drawn: its colour ("#RRGGBB"), tag and Lucide icon.
struct BindingStyle
{
    QString color;
    QString tag;
    QString icon;
};

BindingStyle bindingStyle(BindingKind kind);

// Whether the Local Explorer shows the data behind bindings of this kind.
bool explorerShows(BindingKind kind);

// One entry of an item's actions menu that copies a value.
struct CopyEntry
{
    QString label;
    QString value;

    friend bool operator==(const CopyEntry&, const CopyEntry&) = default;
};

// Another registered project that a binding names by its Worker's name.
struct LocalService
{
    QString projectID;
    QString displayName;

    friend bool operator==(const LocalService&, const LocalService&) = default;
};

// One node of the Overview's bindings list and diagram.
struct BindingItem
{
    QString id;
    QString icon;
    QString color; // "#RRGGBB"; empty for the secondary text colour (the "Variables" item)
    QString title;
    std::optional<QString> subtitle;
    QString tag;
    QList<CopyEntry> copyValues;
    bool explorer = false;
    std::optional<LocalService> localService;
    // For a binding that reaches another Worker: whether that Worker runs locally (the dev
    // registry lists it live), shown as "connected" or "not connected".
    std::optional<bool> connected;

    friend bool operator==(const BindingItem&, const BindingItem&) = default;
};

// The items of one project: a binding's item, then one "Variables" item when there are
// variables. `localServices` lists the bindings that name another registered project's Worker,
// in item order, as (item id, project).
struct BindingItems
{
    QList<BindingItem> items;
    QList<QPair<QString, LocalService>> localServices;
};

// The registered projects around the one shown, to resolve bindings that name a local Worker
// (services, Durable Objects of another script, tail consumers). A Worker name that more than
// one project declares resolves to none: guessing could start or show the wrong project.
struct LocalWorkers
{
    QString selfID;
    QList<Project> projects;
    const ProjectInfoMap* infos = nullptr;
};

BindingItem bindingItem(const WorkerBinding& binding);
// The one item that stands for all variables; none without variables.
std::optional<BindingItem> variablesItem(const QStringList& varNames);
// `connections` (from bindingConnections) mark the items of bindings that reach other Workers.
BindingItems buildBindingItems(const ProjectInfo& info, const LocalWorkers& workers = {},
                               const QList<BindingConnection>& connections = {});

// The registered project that provides a Worker, as LocalWorkers resolves it; none for the
// project itself or a name several projects declare.
std::optional<LocalService> localServiceNamed(const QString& worker, const LocalWorkers& workers);

// A binding of a running project that does not reach its Worker: the Overview's problem line.
struct DisconnectedService
{
    QString worker; // empty for a queue nobody consumes
    std::optional<QString> queue;
    QStringList bindings;                // the bindings that need it, in binding order
    std::optional<LocalService> project; // the registered project that would provide it

    friend bool operator==(const DisconnectedService&, const DisconnectedService&) = default;
};

// One entry per Worker (or queue) not reached, in order of first need.
QList<DisconnectedService> disconnectedServices(const QList<BindingConnection>& connections,
                                                const LocalWorkers& workers);
// "AUTH can't reach ember-auth: it isn't running locally." and the queue form.
QString disconnectedText(const DisconnectedService& service);
