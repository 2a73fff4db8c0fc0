#pragma once

#include <QObject>

#include <functional>

class OnScreenWatch;
class QTimer;
class QWidget;

// Calls `tick` every `intervalMs` while `widget` is on the screen (shown, its window not
// minimised, not scrolled out of sight; see on_screen.h), and once at once each time it comes
// back on: a view that follows something live reads and draws nothing while nobody can see it.
class OnScreenTimer : public QObject
{
public:
    OnScreenTimer(QWidget* widget, int intervalMs, std::function<void()> tick);

    bool onScreen() const;
    bool isActive() const;

private:
    void sync(bool tickNow);

    QTimer* timer_;
    OnScreenWatch* watch_;
    std::function<void()> tick_;
};
