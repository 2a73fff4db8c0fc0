#pragma once

#include "supervision/child_callbacks.h"

#include <QObject>
#include <QPointer>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

class OutputReceiver;

// Carries the lines and the exit of one child from its reader and watcher threads to the
// thread of a context object, in arrival order. At most one delivery event is queued at a
// time, each delivery hands over a bounded number of lines, and a reader that gets too far
// ahead of the receiving thread waits (the child then blocks on its full pipe), so a child
// printing without pause can neither flood that thread nor grow memory without end.
class OutputChannel : public std::enable_shared_from_this<OutputChannel>
{
public:
    static constexpr qsizetype maxQueuedBytes = qsizetype(4) * 1024 * 1024;
    static constexpr qsizetype maxLinesPerDelivery = 1000;
    static constexpr qsizetype maxBytesPerDelivery = qsizetype(512) * 1024;

    // `streams` is the number of streams that will call `endStream`.
    static std::shared_ptr<OutputChannel> create(QObject* context, ChildCallbacks callbacks,
                                                 int streams);
    ~OutputChannel();

    // From a reader thread. Waits while too much is undelivered, unless the receiver is gone.
    void pushLines(QStringList lines, bool isError);
    void endStream();
    // The exit report is held until both streams have ended or `releaseExit` is called, so
    // that it follows the child's last lines. Lines pushed after it are still delivered.
    void pushExit(int code, bool stopRequested);
    void releaseExit();
    // Waits up to `ms` for every stream to end; tells whether they did.
    bool waitForStreams(int ms);
    // Drops everything from now on; the callbacks are not called again.
    void close();

private:
    friend class OutputReceiver;
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
    bool exitDueLocked() const;

    ChildCallbacks callbacks_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> queue_;
    qsizetype queuedBytes_ = 0;
    int openStreams_;
    std::optional<Exit> exit_;
    bool exitReleased_ = false;
    bool exitDelivered_ = false;
    bool scheduled_ = false;
    bool closed_ = false;
    OutputReceiver* receiver_ = nullptr; // guarded by mutex_; null once closed
};

// Lives on the context's thread and runs the deliveries there. It keeps the channel, and so
// what is queued in it, alive until the channel is closed: by the last delivery (the exit
// report and the end of both streams), by the context's end, or by a failed start.
class OutputReceiver : public QObject
{
    Q_OBJECT

public:
    explicit OutputReceiver(std::shared_ptr<OutputChannel> channel) : channel_(std::move(channel))
    {}

    void deliver();

private:
    std::shared_ptr<OutputChannel> channel_;
};
