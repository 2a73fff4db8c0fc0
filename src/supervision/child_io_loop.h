#pragma once

#include "supervision/termination_timing.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <sys/types.h>

class OutputChannel;

// Reads the output of every dev server and notices every exit on one thread for the whole
// application, with epoll over the output pipes and a process descriptor (pidfd) per child,
// instead of three blocking threads per child. A stream whose channel is full is left unread
// until the channel has room again (the child then blocks on its full pipe), so a child that
// prints without pause cannot hold up the others or grow memory without end.
//
// After a child exits: SIGTERM and SIGCONT to its group (grandchildren are asked to quit too),
// the `exited` callback, the exit report released to its channel at the latest
// `exitAfterStreamsGraceMs` later even when something still holds the pipes open, and SIGKILL
// to the group `leftoverKillDelayMs` later. Only then is the child reaped.
class ChildIoLoop
{
public:
    struct Child
    {
        pid_t pid = -1;    // leader of its own process group
        int stdoutFd = -1; // read ends, now owned by the loop
        int stderrFd = -1;
        std::shared_ptr<OutputChannel> channel; // expects two streams
        TerminationTiming timing;
        // Runs on the loop's thread when the child has exited: 128 + signal number when it was
        // killed by a signal, its exit status otherwise.
        std::function<void(int code)> exited;
    };

    // The loop of the application; its thread starts on first use and runs until the end.
    static ChildIoLoop& shared();

    // Takes over the child's pipes and its exit. From any thread.
    void watch(Child child);

    ChildIoLoop(const ChildIoLoop&) = delete;
    ChildIoLoop& operator=(const ChildIoLoop&) = delete;

private:
    class Engine;
    ChildIoLoop();
    ~ChildIoLoop() = default;

    std::unique_ptr<Engine> engine_;
};
