#pragma once

#include "ui/theme/status_display.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QWidget>

class OnScreenWatch;
class QPainter;
class QTimer;

// The window's animation clock: one timer shared by every animation it draws (the running
// halo, the diagram's connectors), so that their frames are painted and sent to the screen
// together, and running only while some widget that holds it is on screen (see on_screen.h).
// A widget holds it while it has something to move and repaints, on each tick, only the small
// area that moved. The halo's phase goes 0..1 over 1.6 s with an ease-out curve, repeated
// without reversing; every widget painting within one frame sees the same time.
class PulseClock : public QObject
{
    Q_OBJECT

public:
    static constexpr int frameInterval = 60; // ms: under 17 frames a second
    static constexpr int haloPeriod = 1600;  // ms

    explicit PulseClock(QObject* parent = nullptr);

    qreal phase() const;
    // The time of the current frame in milliseconds, for animations with their own period.
    qint64 frameTime() const { return frameTime_; }
    // The clock runs while at least one held widget is on screen. A widget is released when it
    // is destroyed.
    void hold(QWidget* holder);
    void release(QWidget* holder);
    // Whether `holder` holds the clock and is on screen, i.e. should draw the next frame.
    bool animates(const QWidget* holder) const;
    bool isRunning() const;

signals:
    void ticked();

private:
    void sync();

    QTimer* timer_;
    QElapsedTimer since_;
    qint64 frameTime_ = 0;
    QHash<const QWidget*, QPointer<OnScreenWatch>> holders_;
};

// Draws a status dot of `size` centred on `centre`; a pulsing dot gets its halo at `phase`.
void paintStatusDot(QPainter& painter, QPointF centre, const StatusDisplay& display, qreal size,
                    qreal phase);

// A status dot as a widget (header and menus); rows paint theirs directly.
class StatusDot : public QWidget
{
    Q_OBJECT

public:
    StatusDot(PulseClock& clock, int size = 7, QWidget* parent = nullptr);
    ~StatusDot() override;

    void setDisplay(const StatusDisplay& display);
    const StatusDisplay& display() const { return display_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The clock may go first when a window tears down its children: held weakly.
    QPointer<PulseClock> clock_;
    int size_;
    StatusDisplay display_;
    bool holding_ = false;
};
