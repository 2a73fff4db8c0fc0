#pragma once

#include "base/deliver.h"

#include <QFuture>
#include <QList>
#include <QObject>
#include <QPromise>

#include <functional>
#include <memory>
#include <utility>

// Small pieces for the model's operations that return futures.
namespace Futures {

inline QFuture<void> ready()
{
    QPromise<void> promise;
    promise.start();
    promise.finish();
    return promise.future();
}

template <typename T> QFuture<T> ready(T value)
{
    QPromise<T> promise;
    promise.start();
    promise.addResult(std::move(value));
    promise.finish();
    return promise.future();
}

// A promise that several callbacks may share; its future is cancelled when the last holder
// drops it unfinished.
template <typename T> std::shared_ptr<QPromise<T>> shared()
{
    auto promise = std::make_shared<QPromise<T>>();
    promise->start();
    return promise;
}

template <typename T> void fulfil(QPromise<T>& promise, T value)
{
    promise.addResult(std::move(value));
    promise.finish();
}

// `future`'s result, handed on to `promise` through `context` (nothing once it is gone).
template <typename T>
void forward(QObject* context, QFuture<T> future, const std::shared_ptr<QPromise<T>>& promise)
{
    deliverTo(context, std::move(future),
              [promise](T value) { fulfil(*promise, std::move(value)); });
}

inline void forward(QObject* context, QFuture<void> future,
                    const std::shared_ptr<QPromise<void>>& promise)
{
    deliverTo(context, std::move(future), [promise] { promise->finish(); });
}

// Resolves once every future has finished (a cancelled one counts as finished); never once
// `context` is gone.
inline QFuture<void> all(QObject* context, const QList<QFuture<void>>& futures)
{
    auto done = shared<void>();
    auto pending = std::make_shared<qsizetype>(futures.size());
    if (futures.isEmpty())
        done->finish();
    for (const QFuture<void>& future : futures) {
        auto* watcher = new QFutureWatcher<void>(context);
        QObject::connect(watcher, &QFutureWatcherBase::finished, watcher, [watcher, pending, done] {
            watcher->deleteLater();
            if (--*pending == 0)
                done->finish();
        });
        watcher->setFuture(future);
    }
    return done->future();
}

using Step = std::function<QFuture<void>()>;

inline void runInTurn(QObject* context, QList<Step> steps,
                      const std::shared_ptr<QPromise<void>>& done)
{
    if (steps.isEmpty()) {
        done->finish();
        return;
    }
    const Step first = steps.takeFirst();
    deliverTo(context, first(),
              [context, steps = std::move(steps), done] { runInTurn(context, steps, done); });
}

// Runs each step once the future of the one before has finished; resolves after the last.
// A step whose future is cancelled ends the sequence unresolved.
inline QFuture<void> inTurn(QObject* context, QList<Step> steps)
{
    auto done = shared<void>();
    runInTurn(context, std::move(steps), done);
    return done->future();
}

} // namespace Futures
