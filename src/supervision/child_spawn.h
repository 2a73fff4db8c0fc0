#pragma once

#include "base/environment.h"
#include "supervision/spawn_error.h"

#include <QString>
#include <QStringList>

#include <sys/types.h>
#include <variant>

// A child started with its standard output and standard error on pipes. The parent owns the
// read ends.
struct SpawnedChild
{
    pid_t pid = -1;
    int stdoutFd = -1;
    int stderrFd = -1; // -1 when standard error went to the null device
};

using SpawnResult = std::variant<SpawnedChild, SpawnError>;

// Starts "/bin/sh -c COMMAND" in `workingDirectory`, leader of a new process group, with
// standard input from the null device and both output streams on pipes (see spawnChild for what
// every child gets). The pipes are close-on-exec, so a child started at the same moment by
// another thread never inherits them and never holds another child's stream open.
SpawnResult spawnShell(const QString& command, const QString& workingDirectory,
                       const Environment& environment);

// Starts `program` with `arguments` in a session of its own (so that an interactive shell can
// never take over the application's terminal), standard input and standard error on the null
// device and standard output on a pipe. Inherits the application's environment.
SpawnResult spawnCapturingOutput(const QString& program, const QStringList& arguments);
