#pragma once

#include <sys/types.h>

// Signals and liveness of whole process groups: a dev server is a tree of processes, and
// signalling the group reaches every one of them that stayed in it.
namespace ProcessGroups {

// Whether any member of the group is still running. A group whose remaining members are all
// zombies (dead, waiting to be reaped by their parent) counts as gone.
bool groupAlive(pid_t pgid);

// Sends `signal` to the group; failures (the group is gone) are ignored.
void signalGroup(pid_t pgid, int signal);

// SIGTERM, then SIGCONT: a stopped process (SIGSTOP, a terminal's Ctrl-Z, a debugger) acts on
// SIGTERM only once it runs again.
void askGroupToQuit(pid_t pgid);

} // namespace ProcessGroups
