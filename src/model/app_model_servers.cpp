// What the interface asks of the servers, carried out by the servers' runs.
#include "model/app_model.h"
#include "model/future_helpers.h"
#include "model/server_runs.h"

QFuture<StartOutcome> AppModel::startProject(const QString& path, std::optional<int> explicitPort)
{
    return runs_->start(path, explicitPort);
}

void AppModel::startOnFreePort(const QString& path)
{
    runs_->startOnFreePort(path);
}

QFuture<void> AppModel::stopProject(const QString& path)
{
    return runs_->stop(path, false);
}

QFuture<void> AppModel::stopProjectConfirmed(const QString& path)
{
    return runs_->stop(path, true);
}

QFuture<void> AppModel::stopEachActive()
{
    return runs_->stopEachActive();
}

QFuture<StartOutcome> AppModel::restartProject(const QString& path)
{
    return runs_->restart(path, false);
}

QFuture<StartOutcome> AppModel::restartProjectConfirmed(const QString& path)
{
    return runs_->restart(path, true);
}

Alert AppModel::externalStopQuestion(const QString& path, bool restart) const
{
    return runs_->externalStopQuestion(path, restart);
}

QFuture<bool> AppModel::confirmExternalStop(const QString& path, bool restart)
{
    return runs_->confirmExternalStop(path, restart);
}

QFuture<bool> AppModel::confirmQuit()
{
    return runs_->confirmQuit();
}

QFuture<void> AppModel::stopAll()
{
    return runs_->stopAll();
}

QFuture<void> AppModel::refreshExternal()
{
    return runs_->refreshExternal();
}

QFuture<void> AppModel::recoverOrphans()
{
    return runs_->recoverOrphans();
}

QFuture<void> AppModel::refreshUsage(const QString& path)
{
    return runs_->refreshUsage({path});
}

QFuture<void> AppModel::refreshUsageOfActive()
{
    return runs_->refreshUsageOfActive();
}

QFuture<void> AppModel::refreshTraffic(const QString& path)
{
    if (isDemo())
        return Futures::ready();
    return runs_->refreshTraffic(path);
}

void AppModel::windowAppeared()
{
    windowVisible_ = true;
    runs_->startPolling();
}

void AppModel::windowDisappeared()
{
    windowVisible_ = false;
    runs_->stopPolling();
}
