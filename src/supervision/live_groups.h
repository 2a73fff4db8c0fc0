#pragma once

#include <sys/types.h>
#include <vector>

// The process group of every dev server this process started whose end it has not seen yet, in
// a fixed array of atomics: a fatal-signal handler can read it, and adding or removing a group
// never allocates or locks. The supervision marks a group when it spawns it and unmarks it once
// the group's leftovers have been dealt with after the leader's exit. Past `capacity` groups are
// not tracked (the usual stops still reach them).
namespace LiveGroups {

inline constexpr int capacity = 256;

void add(pid_t pgid);
void remove(pid_t pgid);
// The groups marked now.
std::vector<pid_t> marked();

// Stops every marked group that is alive, blocking: SIGTERM, then SIGKILL to what is left after
// `termMs`, then waits for the SIGKILLs until `totalMs` has passed. For a process that is about
// to end and cannot wait for the usual escalation. Returns the groups that are gone afterwards.
std::vector<pid_t> stopAllNow(int termMs, int totalMs);

// Installs a handler for SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGABRT that sends SIGTERM to every
// marked group, restores the disposition it replaced and raises the signal again, so that the
// process still dies (and dumps core) as it would have. Async-signal-safe: it only reads the
// array and calls kill, sigaction and raise. Installing twice changes nothing.
void installFatalSignalHandler();

} // namespace LiveGroups
