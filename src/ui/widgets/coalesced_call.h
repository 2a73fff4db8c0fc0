#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <utility>

// Runs a function once on the next turn of the event loop, however often it was scheduled
// before then: views batch a burst of model changes into one refresh with it. The call is
// queued on `context`, so it never runs once the context is gone.
class CoalescedCall
{
public:
    CoalescedCall(QObject* context, std::function<void()> call)
        : context_(context), call_(std::move(call))
    {}

    void schedule()
    {
        if (pending_)
            return;
        pending_ = true;
        QTimer::singleShot(0, context_, [this] {
            pending_ = false;
            call_();
        });
    }

    // The function ran by other means: the next schedule queues a new call.
    void settle() { pending_ = false; }

private:
    QObject* context_;
    std::function<void()> call_;
    bool pending_ = false;
};
