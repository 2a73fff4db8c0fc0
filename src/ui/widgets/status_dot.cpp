#include "ui/widgets/status_dot.h"

#include <QPainter>
#include <QVariantAnimation>
#include <QtMath>

PulseClock::PulseClock(QObject* parent) : QObject(parent), animation_(new QVariantAnimation(this))
{
    animation_->setStartValue(0.0);
    animation_->setEndValue(1.0);
    animation_->setDuration(1600);
    animation_->setEasingCurve(QEasingCurve::OutCubic);
    animation_->setLoopCount(-1);
    connect(animation_, &QVariantAnimation::valueChanged, this, &PulseClock::ticked);
}

qreal PulseClock::phase() const
{
    return animation_->state() == QAbstractAnimation::Running ? animation_->currentValue().toReal()
                                                              : 0.0;
}

void PulseClock::hold()
{
    if (holders_++ == 0)
        animation_->start();
}

void PulseClock::release()
{
    if (holders_ > 0 && --holders_ == 0)
        animation_->stop();
}

void paintStatusDot(QPainter& painter, QPointF centre, const StatusDisplay& display, qreal size,
                    qreal phase)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    if (display.pulses) {
        // The halo: twice the dot, at 35 %, growing 1.0 -> 2.1 while fading 0.8 -> 0.
        QColor halo = display.dotColor;
        halo.setAlphaF(float(0.35 * (0.8 * (1.0 - phase))));
        const qreal radius = size * (1.0 + 1.1 * phase); // half of 2 x size x scale
        painter.setBrush(halo);
        painter.drawEllipse(centre, radius, radius);
    }
    painter.setBrush(display.dotColor);
    painter.drawEllipse(centre, size / 2, size / 2);
    painter.restore();
}

StatusDot::StatusDot(PulseClock& clock, int size, QWidget* parent)
    : QWidget(parent), clock_(&clock), size_(size)
{
    // Room for the halo at its largest: twice the dot scaled by 2.1.
    const int side = qCeil(size * 2 * 2.1) + 2;
    setFixedSize(side, side);
    connect(&clock, &PulseClock::ticked, this, [this] {
        if (display_.pulses)
            update();
    });
}

StatusDot::~StatusDot()
{
    if (holding_ && clock_)
        clock_->release();
}

void StatusDot::setDisplay(const StatusDisplay& display)
{
    display_ = display;
    if (display_.pulses != holding_) {
        holding_ = display_.pulses;
        if (clock_)
            holding_ ? clock_->hold() : clock_->release();
    }
    setAccessibleName(display_.accessibilityLabel);
    update();
}

void StatusDot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintStatusDot(painter, QRectF(rect()).center(), display_, size_,
                   clock_ ? clock_->phase() : 0.0);
}
