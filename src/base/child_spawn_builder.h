#pragma once

#include "base/environment.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QStringList>

#include <optional>
#include <sys/types.h>

// What a child is started with. The one way the application starts a program: dev servers,
// the environment capture and the detached terminals and editors all go through `spawnChild`.
struct ChildSpawnRequest
{
    // Where a standard stream of the child goes.
    static constexpr int nullDevice = -1;
    static constexpr int sameAsOutput = -2; // standard error only

    // How the child stands apart from the application.
    enum class Detach {
        // Leader of a process group of its own, whose id is its pid: one killpg reaches every
        // process of the tree that stayed in it. Stays in the application's session.
        processGroup,
        // Leader of a session (and so of a group) of its own, without a controlling terminal:
        // an interactive shell in it cannot take the application's terminal, and no signal
        // for the application's group or a dev server's group reaches it.
        session,
    };

    QString program; // never looked up on PATH
    QStringList arguments;
    std::optional<Environment> environment; // the complete environment; none: the application's
    QString workingFolder;                  // empty keeps the application's own
    int standardOutput = nullDevice;        // a descriptor of the parent, or nullDevice
    int standardError = nullDevice;         // a descriptor, nullDevice or sameAsOutput
    Detach detach = Detach::processGroup;
};

struct ChildSpawnOutcome
{
    pid_t pid = -1;
    int error = 0; // errno of the failed spawn (ENOENT for a missing program or folder)

    bool ok() const { return pid > 0; }
};

// Starts the child with posix_spawn. Every signal is at its default disposition (the
// application ignores some, SIGPIPE among them) and none is blocked; standard input is the null
// device; and the child holds no descriptor of the application above 2, close-on-exec or not,
// so it can never keep another child's pipe or a socket open. Everything is allocated before
// the spawn. The descriptors in the request stay the caller's.
ChildSpawnOutcome spawnChild(const ChildSpawnRequest& request);

// The system's text for an error number, thread-safe.
QString systemErrorText(int error);
