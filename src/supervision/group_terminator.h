#pragma once

#include "supervision/termination_timing.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <sys/types.h>

// Stops one process group without blocking its thread: SIGTERM (and SIGCONT), polling until the
// group is gone, SIGKILL when it outlives the SIGTERM polls, then gives up after the SIGKILL polls.
// Deletes itself when done.
class GroupTerminator : public QObject
{
    Q_OBJECT

public:
    GroupTerminator(pid_t pgid, const TerminationTiming& timing, std::function<void()> done,
                    QObject* parent = nullptr);

    void start();
    // Ends an escalation under way at once: SIGKILL to the group, then done. For a manager that
    // goes away and could not send the SIGKILL later. Nothing once the terminator has finished.
    void abandon();

private:
    void poll();
    void finish();

    pid_t pgid_;
    TerminationTiming timing_;
    std::function<void()> done_;
    QTimer timer_;
    int polls_ = 0;
    bool killed_ = false;
    bool finished_ = false;
};
