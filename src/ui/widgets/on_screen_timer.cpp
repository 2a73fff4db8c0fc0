#include "ui/widgets/on_screen_timer.h"

#include "ui/widgets/on_screen.h"

#include <QTimer>
#include <QWidget>

OnScreenTimer::OnScreenTimer(QWidget* widget, int intervalMs, std::function<void()> tick)
    : QObject(widget), timer_(new QTimer(this)), watch_(new OnScreenWatch(widget)),
      tick_(std::move(tick))
{
    timer_->setInterval(intervalMs);
    connect(timer_, &QTimer::timeout, this, [this] {
        if (onScreen())
            tick_();
        else
            timer_->stop();
    });
    connect(watch_, &OnScreenWatch::changed, this, [this] { sync(true); });
    sync(false);
}

bool OnScreenTimer::onScreen() const
{
    return watch_->onScreen();
}

bool OnScreenTimer::isActive() const
{
    return timer_->isActive();
}

void OnScreenTimer::sync(bool tickNow)
{
    if (!onScreen()) {
        timer_->stop();
        return;
    }
    const bool resumed = !timer_->isActive();
    if (resumed)
        timer_->start();
    if (resumed && tickNow)
        tick_();
}
