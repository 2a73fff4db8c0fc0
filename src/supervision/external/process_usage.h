#pragma once

#include "supervision/external/process_table.h"

#include <QList>

#include <optional>

// Memory and processor time of every process in one process group, summed. A dev server
// started by the application leads its own group, so this counts the shell, the package
// manager, Node and the runtimes together. Walks the whole process table once and looks at
// each member once.
ProcessUsage usageOfGroup(const ProcessTable& table, qint32 pgid);

// The same of the given processes; a process that is gone counts as nothing.
ProcessUsage usageOfProcesses(const ProcessTable& table, const QList<qint32>& pids);

// A project's server: the whole group of one the application started (`groupLeader`, the pid
// of its shell), else the processes of one found running elsewhere.
ProcessUsage usageOfServer(const ProcessTable& table, std::optional<qint32> groupLeader,
                           const QList<qint32>& externalPids);
