#pragma once

class QThreadPool;

// Where background work runs. Every thread of the application:
//
// - The main thread: the model, every run state and log buffer, the views, the root watcher
//   (its inotify descriptor and timers) and every delivery of a background result.
// - The short-work pool (Qt's global pool, one thread per core): walking the roots, inspecting
//   projects, scanning the process table for servers started elsewhere, measuring memory. Each
//   task keeps a core busy for a moment and returns a value the main thread applies.
// - The waiting pool (low priority): work that mostly waits on another process, today
//   the login-shell capture, which can hold its thread for its 8 s limit and more. A pool of
//   its own, so that on a two-core machine the short work never queues behind it.
// - The process manager's thread: spawning and stopping children one operation at a time, and
//   the timers of each stop's escalation.
// - Per child started here: one reader thread per output stream, and one exit watcher that
//   blocks in waitpid and later sends the SIGKILL to leftovers of the group.
// - Per application opened without a process descriptor (old kernels): a thread that reaps it.
namespace WorkPools {

// The short-work pool.
QThreadPool* shortWork();
// The waiting pool: low priority, a few threads, created on first use.
QThreadPool* waiting();

} // namespace WorkPools
