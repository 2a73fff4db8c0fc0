#include "supervision/output_channel.h"

#include <QThread>
#include <QTimer>

namespace {

// What a queued line costs in memory, roughly.
qsizetype weight(const QString& line)
{
    return line.size() * qsizetype(sizeof(QChar)) + 32;
}

qsizetype weight(const QStringList& lines)
{
    qsizetype bytes = 0;
    for (const QString& line : lines)
        bytes += weight(line);
    return bytes;
}

} // namespace

OutputChannel::OutputChannel(ChildCallbacks callbacks, int streams)
    : callbacks_(std::move(callbacks)), openStreams_(streams)
{}

std::shared_ptr<OutputChannel> OutputChannel::create(QObject* context, ChildCallbacks callbacks,
                                                     int streams)
{
    std::shared_ptr<OutputChannel> channel(new OutputChannel(std::move(callbacks), streams));
    auto* receiver = new OutputReceiver(channel);
    if (context) {
        receiver->moveToThread(context->thread());
        std::weak_ptr<OutputChannel> weak = channel;
        QObject::connect(
            context, &QObject::destroyed, receiver,
            [weak] {
                if (const std::shared_ptr<OutputChannel> strong = weak.lock())
                    strong->close();
            },
            Qt::DirectConnection);
    }
    channel->receiver_ = receiver;
    return channel;
}

OutputChannel::~OutputChannel()
{
    close();
}

void OutputChannel::close()
{
    OutputReceiver* receiver = nullptr;
    std::vector<std::function<void()>> resume;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        queue_.clear();
        queuedBytes_ = 0;
        receiver = std::exchange(receiver_, nullptr);
        resume.swap(resume_);
    }
    // Paused streams are read on, and what they bring is dropped: the child must not stall.
    for (const std::function<void()>& readOn : resume)
        readOn();
    if (receiver)
        receiver->deleteLater();
}

void OutputChannel::scheduleLocked()
{
    if (scheduled_ || closed_ || !receiver_)
        return;
    scheduled_ = true;
    // Posted under the lock: the receiver cannot be deleted meanwhile (close takes the lock).
    QMetaObject::invokeMethod(receiver_, &OutputReceiver::deliver, Qt::QueuedConnection);
}

void OutputChannel::pushLines(QStringList lines, bool isError)
{
    if (lines.isEmpty())
        return;
    const qsizetype bytes = weight(lines);
    std::lock_guard lock(mutex_);
    if (closed_)
        return;
    if (!queue_.empty() && queue_.back().isError == isError &&
        queue_.back().lines.size() < maxLinesPerDelivery)
        queue_.back().lines.append(std::move(lines));
    else
        queue_.push_back(Batch{std::move(lines), isError});
    queuedBytes_ += bytes;
    scheduleLocked();
}

bool OutputChannel::roomOrNotify(std::function<void()> resume)
{
    std::lock_guard lock(mutex_);
    if (closed_ || queuedBytes_ < maxQueuedBytes)
        return true;
    resume_.push_back(std::move(resume));
    return false;
}

void OutputChannel::endStream()
{
    std::lock_guard lock(mutex_);
    --openStreams_;
    // After the exit, the last stream's end is delivered too: it closes the channel.
    if (exitDueLocked() || (exitDelivered_ && openStreams_ <= 0))
        scheduleLocked();
}

void OutputChannel::pushExit(int code, bool stopRequested)
{
    std::lock_guard lock(mutex_);
    exit_ = Exit{code, stopRequested};
    if (exitDueLocked())
        scheduleLocked();
}

void OutputChannel::releaseExit()
{
    std::lock_guard lock(mutex_);
    exitReleased_ = true;
    if (exitDueLocked())
        scheduleLocked();
}

bool OutputChannel::exitDueLocked() const
{
    return exit_.has_value() && (openStreams_ <= 0 || exitReleased_);
}

int OutputChannel::holdBackMs()
{
    if (!lastDelivery_.isValid())
        return 0;
    const qint64 since = lastDelivery_.elapsed();
    std::lock_guard lock(mutex_);
    if (!caughtUp_ || closed_ || since >= minDeliveryInterval || exitDueLocked())
        return 0;
    return int(minDeliveryInterval - since);
}

void OutputChannel::deliver()
{
    if (const int wait = holdBackMs(); wait > 0) {
        // Still scheduled: what is pushed meanwhile waits for this delivery.
        std::lock_guard lock(mutex_);
        if (receiver_)
            receiver_->deliverIn(wait);
        return;
    }
    lastDelivery_.start();
    std::deque<Batch> batches;
    std::optional<Exit> exit;
    std::vector<std::function<void()>> resume;
    bool finished = false;
    qsizetype linesTaken = 0;
    {
        std::lock_guard lock(mutex_);
        scheduled_ = false;
        if (closed_)
            return;
        // Bounded by lines and by bytes, so that one delivery never holds up the receiving
        // thread for long, whether the lines are short or 64 KiB each.
        qsizetype lines = 0;
        qsizetype bytes = 0;
        while (!queue_.empty() && lines < maxLinesPerDelivery && bytes < maxBytesPerDelivery) {
            Batch& front = queue_.front();
            qsizetype take = 0;
            while (take < front.lines.size() && lines < maxLinesPerDelivery &&
                   bytes < maxBytesPerDelivery) {
                bytes += weight(front.lines.at(take));
                ++lines;
                ++take;
            }
            if (take == front.lines.size()) {
                batches.push_back(std::move(front));
                queue_.pop_front();
            } else {
                batches.push_back(Batch{front.lines.first(take), front.isError});
                front.lines.remove(0, take);
            }
        }
        queuedBytes_ -= bytes;
        linesTaken = lines;
        if (queuedBytes_ < maxQueuedBytes)
            resume.swap(resume_);
        if (queue_.empty() && exitDueLocked()) {
            exit = std::exchange(exit_, std::nullopt);
            exitDelivered_ = true;
        } else if (!queue_.empty()) {
            scheduleLocked();
        }
        finished = exitDelivered_ && openStreams_ <= 0 && queue_.empty();
        caughtUp_ = queue_.empty();
    }
    for (const std::function<void()>& readOn : resume)
        readOn();

    // A callback may destroy the context; nothing may be called after that.
    auto stillOpen = [this] {
        std::lock_guard lock(mutex_);
        return !closed_;
    };
    if (!batches.empty() && callbacks_.onLines) {
        if (!stillOpen())
            return;
        OutputLines lines;
        lines.reserve(linesTaken);
        for (const Batch& batch : batches)
            for (const QString& line : batch.lines)
                lines.append(OutputLine{line, batch.isError});
        callbacks_.onLines(lines);
    }
    if (exit && stillOpen() && callbacks_.onExit)
        callbacks_.onExit(exit->code, exit->stopRequested);
    // Output of processes that outlived the child (that left its group, or kept the pipes
    // open past the wait for the last lines) still follows the exit until the pipes close.
    if (finished)
        close();
}

OutputReceiver::OutputReceiver(std::shared_ptr<OutputChannel> channel)
    : channel_(std::move(channel)), timer_(new QTimer(this))
{
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &OutputReceiver::deliver);
}

void OutputReceiver::deliver()
{
    channel_->deliver();
}

void OutputReceiver::deliverIn(int ms)
{
    timer_->start(ms);
}
