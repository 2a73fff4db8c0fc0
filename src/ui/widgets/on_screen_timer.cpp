#include "ui/widgets/on_screen_timer.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

OnScreenTimer::OnScreenTimer(QWidget* widget, int intervalMs, std::function<void()> tick)
    : QObject(widget), widget_(widget), timer_(new QTimer(this)), tick_(std::move(tick))
{
    timer_->setInterval(intervalMs);
    connect(timer_, &QTimer::timeout, this, [this] {
        if (onScreen())
            tick_();
        else
            timer_->stop();
    });
    widget_->installEventFilter(this);
    watchWindow();
    sync(false);
}

bool OnScreenTimer::onScreen() const
{
    const QWidget* window = widget_->window();
    return widget_->isVisible() && !(window && window->isMinimized());
}

bool OnScreenTimer::isActive() const
{
    return timer_->isActive();
}

void OnScreenTimer::watchWindow()
{
    // The widget may have moved to another window since (a reparented view).
    QWidget* window = widget_->window();
    if (window == window_)
        return;
    if (window_)
        window_->removeEventFilter(this);
    window_ = window != widget_ ? window : nullptr;
    if (window_)
        window_->installEventFilter(this);
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

bool OnScreenTimer::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (watched == widget_ && type == QEvent::Show) {
        // Sent once the widget counts as visible.
        watchWindow();
        sync(true);
    } else if (watched == widget_ && type == QEvent::Hide) {
        timer_->stop();
    } else if (type == QEvent::WindowStateChange ||
               (watched == window_ && (type == QEvent::Show || type == QEvent::Hide))) {
        // The window reports its new state once the change is applied.
        QTimer::singleShot(0, this, [this] { sync(true); });
    }
    return false;
}
