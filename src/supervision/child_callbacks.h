#pragma once

#include "supervision/output_line.h"

#include <functional>

// Where the output and the end of one child go. Both run on the thread of the context object
// passed along with them, never once that object is gone.
struct ChildCallbacks
{
    // The lines of one delivery, from both streams, in the order they were read. A child that
    // prints as fast as it can costs one call per delivery (up to a thousand lines), not one
    // queued event per line. Lines may also follow the exit report: output of processes that
    // outlived the child arrives until the pipes close.
    std::function<void(const OutputLines& lines)> onLines;
    // The exit code (128 + signal number when killed by a signal) and whether the stop was
    // requested. Comes after the last lines of both streams, or once the child has been gone
    // for a while when something else keeps the pipes open.
    std::function<void(int code, bool stopRequested)> onExit;
};
