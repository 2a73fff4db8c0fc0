#pragma once

#include "base/project.h"
#include "supervision/external/external_process.h"
#include "supervision/external/process_table.h"

#include <QList>
#include <QSet>

#include <optional>

// The port taken as a server's address among the ports it listens on: the project's saved
// port when it is among them; else the lowest port below `temporaryFloor` (one chosen on
// purpose, not handed out by the system); else the lowest; none for no ports.
std::optional<int> pickPort(const QList<int>& ports, std::optional<int> savedPort,
                            int temporaryFloor);

// Finds Workers runtimes started outside the application and assigns each to a project.
//
// Every process named "workerd" outside `excludedGroups` (the groups the application leads
// itself) is traced up through its launchers (parents named in runtimeProcessNames(), at most
// six); the working folders of that chain are compared with the project folders, innermost
// project first, a folder matching itself and everything below it. A project's port is
// chosen once over the listening ports of all its matched processes together: real
// `wrangler dev` runs two runtimes of which only one listens on the dev port, and under Vite
// the dev port belongs to the `node` launcher.
//
// Each project is given by `path`, which is both its identity (the key of the result) and its
// folder, and by its saved `port`.
ExternalScan scanExternal(const ProcessTable& table, const QList<Project>& projects,
                          const QSet<qint32>& excludedGroups);
