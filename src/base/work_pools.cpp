#include "base/work_pools.h"

#include <QThread>
#include <QThreadPool>

namespace {

struct WaitingPool : QThreadPool
{
    WaitingPool()
    {
        setObjectName(QStringLiteral("WaitingWork"));
        // A reload may start while an earlier capture still waits out its limit.
        setMaxThreadCount(4);
        setThreadPriority(QThread::LowPriority);
    }
};

// Destroyed at exit, which waits for its tasks like Qt does for the global pool: a capture
// ends within its limit and leaves no shell behind.
Q_GLOBAL_STATIC(WaitingPool, waitingPool)

} // namespace

namespace WorkPools {

QThreadPool* shortWork()
{
    return QThreadPool::globalInstance();
}

QThreadPool* waiting()
{
    return waitingPool();
}

} // namespace WorkPools
