#include "supervision/process_manager.h"

#include "supervision/output_channel.h"
#include "supervision/process_executor.h"

#include <QPromise>

namespace {

// Runs `work` on `executor`'s thread; `work` gets the promise and finishes it, possibly later.
template <typename T, typename Work> QFuture<T> runOn(QObject* executor, Work work)
{
    auto promise = std::make_shared<QPromise<T>>();
    QFuture<T> future = promise->future();
    promise->start();
    QMetaObject::invokeMethod(
        executor, [promise, work = std::move(work)]() mutable { work(promise); },
        Qt::QueuedConnection);
    return future;
}

// A completion callback that finishes a void promise.
std::function<void()> finisher(const std::shared_ptr<QPromise<void>>& promise)
{
    return [promise] { promise->finish(); };
}

} // namespace

ProcessManager::ProcessManager(const TerminationTiming& timing, QObject* parent)
    : QObject(parent), timing_(timing), link_(std::make_shared<ManagerLink>())
{
    executor_ = new ProcessExecutor(timing_, link_);
    executor_->moveToThread(&thread_);
    link_->executor = executor_;
    // The executor and its terminators, timers included, are destroyed on their own thread
    // when it finishes.
    connect(&thread_, &QThread::finished, executor_, &QObject::deleteLater);
    thread_.setObjectName(QStringLiteral("ProcessManager"));
    thread_.start();
}

ProcessManager::~ProcessManager()
{
    link_->closing = true;
    if (!thread_.isRunning()) {
        // The thread could not be started: nothing ever ran on it.
        delete executor_;
        return;
    }
    // Operations already queued run first (except starts, see `start`). Then the children
    // nobody asked to stop are stopped, bounded by the escalation: this thread waits, since the
    // process may end right after.
    ProcessExecutor* executor = executor_;
    runOn<void>(executor, [executor](const std::shared_ptr<QPromise<void>>& promise) {
        executor->stopUnrequested(finisher(promise));
    }).waitForFinished();
    // Then the executor shuts down, and the thread quits only after the exit reports that the
    // I/O loop posted before the shutdown cut it off: those are delivered, not dropped.
    QMetaObject::invokeMethod(
        executor,
        [executor] {
            executor->shutDown();
            QMetaObject::invokeMethod(
                executor, [] { QThread::currentThread()->quit(); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    thread_.wait();
}

QFuture<StartResult> ProcessManager::start(const QString& projectID, const QString& command,
                                           const QString& workingDirectory,
                                           const Environment& environment, QObject* context,
                                           ChildCallbacks callbacks)
{
    std::shared_ptr<OutputChannel> channel =
        OutputChannel::create(context, std::move(callbacks), 2);
    ProcessExecutor* executor = executor_;
    const std::shared_ptr<ManagerLink> link = link_;
    return runOn<StartResult>(executor, [=](const std::shared_ptr<QPromise<StartResult>>& promise) {
        // A start still queued when the manager goes away is dropped and its future ends as
        // canceled: nobody would be left to stop that child.
        if (link->closing) {
            channel->close();
            return;
        }
        const StartResult result =
            executor->start(projectID, command, workingDirectory, environment, channel);
        if (!result.ok())
            channel->close();
        promise->addResult(result);
        promise->finish();
    });
}

QFuture<void> ProcessManager::stop(const QString& projectID)
{
    ProcessExecutor* executor = executor_;
    return runOn<void>(executor, [=](const std::shared_ptr<QPromise<void>>& promise) {
        executor->stop(projectID, finisher(promise));
    });
}

QFuture<void> ProcessManager::stopAll()
{
    ProcessExecutor* executor = executor_;
    return runOn<void>(executor, [=](const std::shared_ptr<QPromise<void>>& promise) {
        executor->stopAll(finisher(promise));
    });
}

QFuture<void> ProcessManager::terminateGroup(qint32 pgid)
{
    ProcessExecutor* executor = executor_;
    return runOn<void>(executor, [=](const std::shared_ptr<QPromise<void>>& promise) {
        executor->terminateGroup(pgid, finisher(promise));
    });
}

QFuture<QHash<QString, qint32>> ProcessManager::liveChildren()
{
    ProcessExecutor* executor = executor_;
    return runOn<QHash<QString, qint32>>(
        executor, [=](const std::shared_ptr<QPromise<QHash<QString, qint32>>>& promise) {
            promise->addResult(executor->live());
            promise->finish();
        });
}
