#pragma once

#include "base/environment.h"
#include "supervision/child_callbacks.h"
#include "supervision/start_result.h"
#include "supervision/termination_timing.h"

#include <QHash>
#include <QObject>
#include <QSet>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <sys/types.h>

class OutputChannel;
class ProcessExecutor;

// Lets the child I/O loop's exit reports reach the executor while the manager lives, and
// tells them when it is gone.
struct ManagerLink
{
    std::mutex mutex;
    ProcessExecutor* executor = nullptr;
    // Once `executor` is null: the projects whose stop was requested before the manager went.
    QSet<QString> stopRequested;
    // Set when the manager's destruction begins; starts still queued then are dropped.
    std::atomic<bool> closing = false;
};

// The manager's state and operations, confined to the manager's thread.
class ProcessExecutor : public QObject
{
    Q_OBJECT

public:
    ProcessExecutor(const TerminationTiming& timing, std::shared_ptr<ManagerLink> link);

    StartResult start(const QString& projectID, const QString& command,
                      const QString& workingDirectory, const Environment& environment,
                      const std::shared_ptr<OutputChannel>& channel);
    void stop(const QString& projectID, std::function<void()> done);
    void stopAll(std::function<void()> done);
    // Stops the children whose stop nobody has requested yet (the manager is going away).
    void stopUnrequested(std::function<void()> done);
    void terminateGroup(pid_t pgid, std::function<void()> done);
    // Called once per child when its exit was observed; tells whether its stop was requested.
    bool markExited(const QString& projectID, pid_t pid);
    // The manager is going away: cuts the exit reports off this executor and ends every
    // escalation under way with SIGKILL at once, since nobody would be left to send it later.
    void shutDown();

    const QHash<QString, qint32>& live() const { return live_; }

private:
    void stopGroups(const QHash<QString, qint32>& children, std::function<void()> done);

    TerminationTiming timing_;
    std::shared_ptr<ManagerLink> link_;
    QHash<QString, qint32> live_;
    QSet<QString> intentional_;
};
