#pragma once

#include "base/environment.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>

// Wrangler's dev registry: a folder in which every `wrangler dev` and plugin-enabled `vite dev`
// writes one JSON file per Worker it runs, named after the Worker. Processes with a service,
// Durable Object or tail binding to a Worker they do not run themselves find it there and
// connect to the workerd debug port the file names. The owner refreshes the file's
// modification time as a heartbeat and removes the file on a clean exit; a killed owner leaves
// it behind.

// The folders the dev servers started with `environment` register their Workers in, without
// duplicates: Wrangler's (`WRANGLER_REGISTRY_PATH`, else the default) and Miniflare's and the
// Vite plugin's (`MINIFLARE_REGISTRY_PATH`, else the same default). The default is
// `~/.wrangler/registry` when the folder `~/.wrangler` exists, else
// `$XDG_CONFIG_HOME/.wrangler/registry` (`~/.config/.wrangler/registry`). An override that is
// empty or relative is ignored: each server would take it against its own working folder.
QStringList devRegistryFolders(const Environment& environment);

// Files with this prefix belong to an experimental shared storage and name no Worker.
bool isDevRegistryWorkerName(const QString& fileName);

// One Worker found in the registry.
struct DevRegistryEntry
{
    QString workerName;         // the file's name
    QString debugAddress;       // "127.0.0.1:PORT", the workerd debug port; empty when unreadable
    QStringList queueConsumers; // the queues this Worker consumes
    QDateTime modified;         // the last heartbeat
    bool live = false;          // fresh and its debug port accepts a connection

    friend bool operator==(const DevRegistryEntry&, const DevRegistryEntry&) = default;
};

struct DevRegistryLimits
{
    // Released Wrangler refreshes every 30 s and calls an entry stale after 5 minutes; newer
    // versions refresh every 10 s and give up after 90 s. The longer limit holds for both: the
    // port probe tells a dead owner of a fresh file.
    std::chrono::seconds staleAfter{300};
    std::chrono::milliseconds probeTimeout{500};
};

// Reads every entry of the folders (missing folders hold none), probing the debug port of each
// fresh one; sorted by Worker name. A name found in two folders is taken from the live one,
// else from the more recently refreshed. Blocking: call it off the main thread.
QList<DevRegistryEntry> readDevRegistry(const QStringList& folders,
                                        const DevRegistryLimits& limits);

// Whether a TCP connection to a loopback "HOST:PORT" ("127.0.0.1", "localhost", "[::1]") is
// accepted within `timeout`. Other hosts are never contacted: false.
bool loopbackPortAccepts(const QString& address, std::chrono::milliseconds timeout);

// The entry of a Worker by name, or null.
const DevRegistryEntry* findDevRegistryEntry(const QList<DevRegistryEntry>& entries,
                                             const QString& workerName);
