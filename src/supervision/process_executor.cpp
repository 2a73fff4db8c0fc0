#include "supervision/process_executor.h"

#include "supervision/child_io_loop.h"
#include "supervision/child_spawn.h"
#include "supervision/group_terminator.h"
#include "supervision/output_channel.h"

ProcessExecutor::ProcessExecutor(const TerminationTiming& timing, std::shared_ptr<ManagerLink> link)
    : timing_(timing), link_(std::move(link))
{}

StartResult ProcessExecutor::start(const QString& projectID, const QString& command,
                                   const QString& workingDirectory, const Environment& environment,
                                   const std::shared_ptr<OutputChannel>& channel)
{
    if (live_.contains(projectID))
        return {std::nullopt, SpawnError{QStringLiteral("Already running")}};
    const SpawnResult spawned = spawnShell(command, workingDirectory, environment);
    if (const SpawnError* error = std::get_if<SpawnError>(&spawned))
        return {std::nullopt, *error};

    const SpawnedChild child = std::get<SpawnedChild>(spawned);
    live_.insert(projectID, child.pid);
    // A flag left over from an earlier stop must not mark this run.
    intentional_.remove(projectID);
    ChildIoLoop::Child watched{child.pid, child.stdoutFd, child.stderrFd, channel, timing_, {}};
    // On the loop's thread: the report goes through this executor while it lives, so that
    // the child leaves `live_` first; after its shutdown, straight to the channel.
    watched.exited = [projectID, pid = child.pid, channel, link = link_](int code) {
        std::lock_guard lock(link->mutex);
        if (link->executor) {
            QMetaObject::invokeMethod(
                link->executor,
                [executor = link->executor, projectID, pid, code, channel] {
                    channel->pushExit(code, executor->markExited(projectID, pid));
                },
                Qt::QueuedConnection);
        } else {
            channel->pushExit(code, link->stopRequested.contains(projectID));
        }
    };
    ChildIoLoop::shared().watch(std::move(watched));
    return {child.pid, std::nullopt};
}

void ProcessExecutor::stop(const QString& projectID, std::function<void()> done)
{
    const auto found = live_.constFind(projectID);
    if (found == live_.cend()) {
        done();
        return;
    }
    intentional_.insert(projectID);
    terminateGroup(found.value(), std::move(done));
}

void ProcessExecutor::stopAll(std::function<void()> done)
{
    stopGroups(live_, std::move(done));
}

void ProcessExecutor::stopUnrequested(std::function<void()> done)
{
    QHash<QString, qint32> children = live_;
    for (const QString& projectID : std::as_const(intentional_))
        children.remove(projectID);
    stopGroups(children, std::move(done));
}

void ProcessExecutor::stopGroups(const QHash<QString, qint32>& children, std::function<void()> done)
{
    if (children.isEmpty()) {
        done();
        return;
    }
    auto remaining = std::make_shared<qsizetype>(children.size());
    auto shared = std::make_shared<std::function<void()>>(std::move(done));
    for (auto it = children.cbegin(); it != children.cend(); ++it) {
        intentional_.insert(it.key());
        // Every terminator runs on this thread, so the counter needs no lock.
        terminateGroup(it.value(), [remaining, shared] {
            if (--*remaining == 0)
                (*shared)();
        });
    }
}

void ProcessExecutor::terminateGroup(pid_t pgid, std::function<void()> done)
{
    auto* terminator = new GroupTerminator(pgid, timing_, std::move(done), this);
    terminator->start();
}

bool ProcessExecutor::markExited(const QString& projectID, pid_t pid)
{
    const auto found = live_.constFind(projectID);
    if (found != live_.cend() && found.value() == pid)
        live_.erase(found);
    return intentional_.remove(projectID);
}

void ProcessExecutor::shutDown()
{
    {
        std::lock_guard lock(link_->mutex);
        link_->executor = nullptr;
        link_->stopRequested = intentional_;
    }
    const QList<GroupTerminator*> terminators =
        findChildren<GroupTerminator*>(Qt::FindDirectChildrenOnly);
    for (GroupTerminator* terminator : terminators)
        terminator->abandon();
}
