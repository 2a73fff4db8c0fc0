#pragma once

#include "ui/theme/status_display.h"

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QWidget>

class QPainter;
class QVariantAnimation;

// The running halo's clock: one animation shared by every pulsing dot, running only while some
// dot needs it. Phase 0..1 over 1.6 s with an ease-out curve, repeated without reversing.
class PulseClock : public QObject
{
    Q_OBJECT

public:
    explicit PulseClock(QObject* parent = nullptr);

    qreal phase() const;
    // Counted: the animation runs while at least one holder is registered.
    void hold();
    void release();

signals:
    void ticked();

private:
    QVariantAnimation* animation_;
    int holders_ = 0;
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
