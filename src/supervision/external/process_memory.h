#pragma once

#include "supervision/external/process_table.h"

#include <QList>

#include <optional>

// Resident memory of every process in one process group, in bytes. A dev server started by
// the application leads its own group, so this counts the shell, the package manager, Node
// and the runtimes together. Walks the whole process table once.
quint64 memoryOfGroup(const ProcessTable& table, qint32 pgid);

// Resident memory of the given processes, in bytes; a process that is gone counts as 0.
quint64 memoryOfProcesses(const ProcessTable& table, const QList<qint32>& pids);

// A project's memory: the whole group of a server the application started (`groupLeader`,
// the pid of its shell), else the processes of a server found running elsewhere.
quint64 memoryOfServer(const ProcessTable& table, std::optional<qint32> groupLeader,
                       const QList<qint32>& externalPids);
