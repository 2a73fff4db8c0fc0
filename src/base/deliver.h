#pragma once

#include <QFuture>
#include <QFutureWatcher>
#include <QObject>

#include <type_traits>
#include <utility>

// Hands the outcome of a background task to `receiver` on the receiver's thread (the main
// thread): `onResult(result)` for a task with a result, `onResult()` for a QFuture<void>. It
// runs later from the event loop and never once the receiver is gone, because the watcher is
// the receiver's child and goes with it. A cancelled task has no result and calls nothing.
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
                         QFuture<T> finished = watcher->future();
                         if (finished.isCanceled())
                             return;
                         if constexpr (std::is_void_v<T>) {
                             onResult();
                         } else {
                             if (finished.resultCount() == 0)
                                 return;
                             onResult(finished.takeResult());
                         }
                     });
    watcher->setFuture(std::move(future));
}
