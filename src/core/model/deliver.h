#pragma once

#include <QFuture>
#include <QFutureWatcher>
#include <QObject>

#include <utility>

// Hands the result of a background task to `receiver` on the receiver's thread (the main
// thread), always later from the event loop and never once the receiver is gone: the watcher
// is the receiver's child and goes with it.
//
// Preferred over QFuture::then(context, ...), which in Qt 6.4 may run the continuation at once
// inside `then`, and which asserts in debug builds when the context is destroyed while the task
// still runs (a model destroyed during a refresh).
template <typename T, typename Function>
void deliverTo(QObject* receiver, QFuture<T> future, Function&& onResult)
{
    auto* watcher = new QFutureWatcher<T>(receiver);
    QObject::connect(watcher, &QFutureWatcherBase::finished, watcher,
                     [watcher, onResult = std::forward<Function>(onResult)]() mutable {
                         watcher->deleteLater();
                         onResult(watcher->result());
                     });
    watcher->setFuture(std::move(future));
}
