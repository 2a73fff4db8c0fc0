#pragma once

#include <QFuture>
#include <QFutureWatcher>
#include <QObject>

#include <functional>

// The counterpart of deliverTo for tasks without a result: runs `onDone` on `receiver`'s
// thread once `future` has finished, always later from the event loop and never once
// `receiver` is gone (the watcher is its child).
inline void whenDone(QObject* receiver, const QFuture<void>& future, std::function<void()> onDone)
{
    auto* watcher = new QFutureWatcher<void>(receiver);
    QObject::connect(watcher, &QFutureWatcherBase::finished, watcher,
                     [watcher, onDone = std::move(onDone)] {
                         watcher->deleteLater();
                         onDone();
                     });
    watcher->setFuture(future);
}
