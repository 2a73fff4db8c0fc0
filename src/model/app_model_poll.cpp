// The refresh of servers started elsewhere, repeated while the main window is shown.
#include "model/app_model.h"

#include <QTimer>

void AppModel::windowAppeared()
{
    windowVisible_ = true;
    delete pollTask_.data();
    // Demo projects are made up: there is nothing to look for.
    if (isDemo_)
        return;
    // The timer is the poll's handle: deleting it cancels the loop, and as a child of the
    // model it goes with the model.
    auto* task = new QTimer(this);
    task->setSingleShot(true);
    task->setInterval(context_.pollInterval);
    pollTask_ = task;
    connect(task, &QTimer::timeout, this, [this, task] { pollExternal(task); });
    // A window that comes back shows the current state at once, not after a full interval.
    pollExternal(task);
}

void AppModel::windowDisappeared()
{
    windowVisible_ = false;
    delete pollTask_.data();
}

void AppModel::pollExternal(QPointer<QTimer> task)
{
    refreshExternalThen([this, task = std::move(task)] {
        // Sleep only when this poll has not been cancelled (or replaced) meanwhile.
        if (task && task == pollTask_)
            task->start();
    });
}
