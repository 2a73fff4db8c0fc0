#pragma once

#include "base/project.h"
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

// Another registered project that a service binding names by its worker name.
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

    friend bool operator==(const BindingItem&, const BindingItem&) = default;
};

// The items of one project: a binding's item, then one "Variables" item when there are
// variables. `localServices` lists the service bindings that name another registered project,
// in item order, as (item id, project).
struct BindingItems
{
    QList<BindingItem> items;
    QList<QPair<QString, LocalService>> localServices;
};

// The registered projects around the one shown, to resolve service bindings that name a local
// worker. A worker name that more than one project declares resolves to none: guessing could
// start or show the wrong project.
struct LocalWorkers
{
    QString selfID;
    QList<Project> projects;
    const ProjectInfoMap* infos = nullptr;
};

BindingItem bindingItem(const WorkerBinding& binding);
// The one item that stands for all variables; none without variables.
std::optional<BindingItem> variablesItem(const QStringList& varNames);
BindingItems buildBindingItems(const ProjectInfo& info, const LocalWorkers& workers = {});
