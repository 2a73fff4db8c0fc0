#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QTimer;
class QWidget;

// Calls `tick` every `intervalMs` while `widget` is on the screen (shown, its window not
// minimised), and once at once each time it comes back on: a view that follows something live
// reads and draws nothing while nobody can see it. Minimising and restoring a window shows or
// hides no widget, so the window's state changes are watched as well.
class OnScreenTimer : public QObject
{
public:
    OnScreenTimer(QWidget* widget, int intervalMs, std::function<void()> tick);

    bool onScreen() const;
    bool isActive() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watchWindow();
    void sync(bool tickNow);

    QWidget* widget_;
    QTimer* timer_;
    std::function<void()> tick_;
    QPointer<QWidget> window_;
};
