#pragma once

#include "supervision/termination_timing.h"

#include <QString>

#include <memory>
#include <sys/types.h>

class OutputChannel;
struct ManagerLink;

// Per-child background work of the process manager.
namespace ChildWatch {

// Reads one output stream on a thread of its own until end of stream, splitting it into lines
// for `channel`. Owns and finally closes `fd`.
void attachReader(int fd, bool isError, std::shared_ptr<OutputChannel> channel);

// Waits for the child on a thread of its own, then: SIGTERM to its group (grandchildren are
// asked to quit too), the exit report through the manager, and SIGKILL to the group when it
// still lives `leftoverKillDelayMs` later.
void watchExit(const QString& projectID, pid_t pid, std::shared_ptr<OutputChannel> channel,
               std::shared_ptr<ManagerLink> link, const TerminationTiming& timing);

// 128 + signal number for a child killed by a signal, its exit status otherwise.
int exitCode(int waitStatus);

} // namespace ChildWatch
