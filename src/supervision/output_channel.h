#pragma once

#include "supervision/child_callbacks.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class OutputReceiver;
class QTimer;

// Carries the lines and the exit of one child from the thread that reads its pipes to the
// thread of a context object, in arrival order. At most one delivery event is queued at a
// time, each delivery hands over a bounded number of lines, and a reader that gets too far
// ahead of the receiving thread is told to stop reading until there is room again (the child
// then blocks on its full pipe), so a child printing without pause can neither flood that
// thread nor grow memory without end. A child that keeps printing is delivered at most every
// `minDeliveryInterval` while the receiving thread keeps up: its lines gather in the channel
// and arrive together, so thirty busy servers wake that thread a few hundred times a second
// rather than once for every write; the first line after a pause still goes at once.
class OutputChannel : public std::enable_shared_from_this<OutputChannel>
{
public:
    static constexpr qsizetype maxQueuedBytes = qsizetype(4) * 1024 * 1024;
    static constexpr qsizetype maxLinesPerDelivery = 1000;
    static constexpr qsizetype maxBytesPerDelivery = qsizetype(512) * 1024;
    static constexpr int minDeliveryInterval = 40; // ms

    // `streams` is the number of streams that will call `endStream`.
    static std::shared_ptr<OutputChannel> create(QObject* context, ChildCallbacks callbacks,
                                                 int streams);
    ~OutputChannel();

    // From the reading side. Never waits: check `roomOrNotify` before reading more.
    void pushLines(QStringList lines, bool isError);
    // Whether the reader may read on: true unless too much is undelivered (always once the
    // receiver is gone). When false, `resume` is called once as soon as there is room again
    // or the channel closes, from whichever thread makes that so.
    bool roomOrNotify(std::function<void()> resume);
    void endStream();
    // The exit report is held until both streams have ended or `releaseExit` is called, so
    // that it follows the child's last lines. Lines pushed after it are still delivered.
    void pushExit(int code, bool stopRequested);
    void releaseExit();
    // Drops everything from now on; the callbacks are not called again.
    void close();

private:
    friend class OutputReceiver;
    class QTimer;
    struct Batch
    {
        QStringList lines;
        bool isError = false;
    };
    struct Exit
    {
        int code = 0;
        bool stopRequested = false;
    };

    OutputChannel(ChildCallbacks callbacks, int streams);
    void scheduleLocked();
    void deliver(); // on the receiver's thread
    // Whether this delivery waits: the last one came less than the interval ago and took
    // everything there was. Gives the milliseconds to wait, or 0 to deliver now.
    int holdBackMs();
    bool exitDueLocked() const;

    ChildCallbacks callbacks_;
    std::mutex mutex_;
    std::vector<std::function<void()>> resume_; // of the paused streams, until there is room
    std::deque<Batch> queue_;
    qsizetype queuedBytes_ = 0;
    int openStreams_;
    std::optional<Exit> exit_;
    bool exitReleased_ = false;
    bool exitDelivered_ = false;
    bool scheduled_ = false;
    bool closed_ = false;
    bool caughtUp_ = false;              // the last delivery left nothing queued
    QElapsedTimer lastDelivery_;         // on the receiver's thread
    OutputReceiver* receiver_ = nullptr; // guarded by mutex_; null once closed
};

// Lives on the context's thread and runs the deliveries there. It keeps the channel, and so
// what is queued in it, alive until the channel is closed: by the last delivery (the exit
// report and the end of both streams), by the context's end, or by a failed start.
class OutputReceiver : public QObject
{
    Q_OBJECT

public:
    explicit OutputReceiver(std::shared_ptr<OutputChannel> channel);

    void deliver();
    // Delivers after `ms` instead of now.
    void deliverIn(int ms);

private:
    std::shared_ptr<OutputChannel> channel_;
    QTimer* timer_;
};
