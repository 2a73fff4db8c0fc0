#include "supervision/child_spawn.h"

#include "base/child_spawn_builder.h"

#include <fcntl.h>
#include <unistd.h>

namespace {

// A pipe whose ends are close-on-exec, so that a child started at the same moment by another
// thread never inherits them (the spawn closes everything above 2 as well).
struct Pipe
{
    int read = -1;
    int write = -1;

    bool open()
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return false;
        read = fds[0];
        write = fds[1];
        return true;
    }
    void closeRead()
    {
        if (read >= 0)
            ::close(read);
        read = -1;
    }
    void closeWrite()
    {
        if (write >= 0)
            ::close(write);
        write = -1;
    }
};

SpawnError spawnFailure(int error)
{
    return SpawnError{QStringLiteral("posix_spawn failed: ") + systemErrorText(error)};
}

} // namespace

SpawnResult spawnShell(const QString& command, const QString& workingDirectory,
                       const Environment& environment)
{
    Pipe out;
    Pipe err;
    if (!out.open())
        return SpawnError{QStringLiteral("pipe() failed")};
    if (!err.open()) {
        out.closeRead();
        out.closeWrite();
        return SpawnError{QStringLiteral("pipe() failed")};
    }

    ChildSpawnRequest request;
    request.program = QStringLiteral("/bin/sh");
    request.arguments = {QStringLiteral("-c"), command};
    request.environment = environment;
    request.workingFolder = workingDirectory;
    request.standardOutput = out.write;
    request.standardError = err.write;
    // Invariant: a group of its own. Stops, the leftover kill and the stop-all at exit signal
    // the group whose id is this pid; in the application's group they would miss the tree.
    request.detach = ChildSpawnRequest::Detach::processGroup;
    const ChildSpawnOutcome outcome = spawnChild(request);
    out.closeWrite();
    err.closeWrite();
    if (!outcome.ok()) {
        out.closeRead();
        err.closeRead();
        return spawnFailure(outcome.error);
    }
    return SpawnedChild{outcome.pid, out.read, err.read};
}

SpawnResult spawnCapturingOutput(const QString& program, const QStringList& arguments)
{
    Pipe out;
    if (!out.open())
        return SpawnError{QStringLiteral("pipe() failed")};

    ChildSpawnRequest request;
    request.program = program;
    request.arguments = arguments;
    request.standardOutput = out.write;
    // A session, not only a group: an interactive login shell takes the controlling terminal
    // of its session, and would take the application's away from it.
    request.detach = ChildSpawnRequest::Detach::session;
    const ChildSpawnOutcome outcome = spawnChild(request);
    out.closeWrite();
    if (!outcome.ok()) {
        out.closeRead();
        return spawnFailure(outcome.error);
    }
    return SpawnedChild{outcome.pid, out.read, -1};
}
