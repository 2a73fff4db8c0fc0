#pragma once

#include "base/environment.h"
#include "supervision/child_callbacks.h"
#include "supervision/start_result.h"
#include "supervision/termination_timing.h"

#include <QFuture>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QThread>

#include <memory>
#include <optional>
#include <sys/types.h>

class ProcessExecutor;
struct ManagerLink;

// Starts each project's dev-server command as a child in a process group of its own, delivers
// its output line by line, reports its exit, and stops it by signalling the whole group,
// SIGTERM first and SIGKILL when it does not go. All bookkeeping runs one operation at a time
// on a thread of its own; waiting for a group to die never holds up other operations. The
// pipes and exits of every child, of every manager, are watched on one more thread.
class ProcessManager : public QObject
{
    Q_OBJECT

public:
    explicit ProcessManager(const TerminationTiming& timing = {}, QObject* parent = nullptr);
    // Carries out the operations already requested, except starts not yet begun (their futures
    // end as canceled). Then stops every child whose stop nobody requested, with the usual
    // escalation, and waits for it: no dev server outlives the application. Stops requested
    // earlier and still under way end with SIGKILL at once (their futures finish): nobody would
    // be left to escalate later. Output and exits still reach their callbacks.
    ~ProcessManager() override;

    // Starts "/bin/sh -c COMMAND" for `projectID`. The callbacks run on `context`'s thread and
    // are dropped once `context` is gone. Fails with "Already running" while the project's
    // previous child has not been seen to exit.
    QFuture<StartResult> start(const QString& projectID, const QString& command,
                               const QString& workingDirectory, const Environment& environment,
                               QObject* context, ChildCallbacks callbacks);
    // Marks the stop as requested and terminates the project's group; resolves when the group
    // has died or the escalation has given up. Nothing for a project that is not live.
    QFuture<void> stop(const QString& projectID);
    // Stops every live group concurrently; resolves when all are done.
    QFuture<void> stopAll();
    // The escalation on any group, also one that was not started by this manager.
    QFuture<void> terminateGroup(qint32 pgid);

    // Project id to pid of every child whose exit has not been observed yet.
    QFuture<QHash<QString, qint32>> liveChildren();

private:
    TerminationTiming timing_;
    QThread thread_;
    ProcessExecutor* executor_;
    std::shared_ptr<ManagerLink> link_;
};
