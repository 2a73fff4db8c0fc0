#pragma once

#include "ui/theme/status_display.h"

#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QWidget>

class QPainter;
class QVariantAnimation;

// The running halo's clock: one animation shared by every pulsing dot, running only while some
// dot that needs it is on screen (shown, in a window that is not minimised, not scrolled out of
// sight). Phase 0..1 over 1.6 s with an ease-out curve, repeated without reversing.
class PulseClock : public QObject
{
    Q_OBJECT

public:
    explicit PulseClock(QObject* parent = nullptr);

    qreal phase() const;
    // The animation runs while at least one held widget is on screen. A widget is released when
    // it is destroyed.
    void hold(QWidget* holder);
    void release(QWidget* holder);
    // Looks again at which holders are on screen (their scroll area moved, say); showing,
    // hiding, moving and resizing a holder are noticed without it.
    void recheck();
    bool isRunning() const;

signals:
    void ticked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QVariantAnimation* animation_;
    QList<QWidget*> holders_;
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
