#include "ui/widgets/status_dot.h"

#include <QEvent>
#include <QPainter>
#include <QVariantAnimation>
#include <QtMath>

#include <algorithm>

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
    return isRunning() ? animation_->currentValue().toReal() : 0.0;
}

bool PulseClock::isRunning() const
{
    return animation_->state() == QAbstractAnimation::Running;
}

void PulseClock::hold(QWidget* holder)
{
    if (!holder || holders_.contains(holder))
        return;
    holders_.append(holder);
    holder->installEventFilter(this);
    connect(holder, &QObject::destroyed, this, [this](QObject* gone) {
        holders_.removeAll(static_cast<QWidget*>(gone));
        recheck();
    });
    recheck();
}

void PulseClock::release(QWidget* holder)
{
    if (!holders_.removeAll(holder))
        return;
    holder->removeEventFilter(this);
    disconnect(holder, &QObject::destroyed, this, nullptr);
    recheck();
}

void PulseClock::recheck()
{
    // Minimising keeps the widgets "visible" but hides them from the screen.
    const bool seen = std::any_of(holders_.cbegin(), holders_.cend(), [](const QWidget* holder) {
        return holder->isVisible() && !holder->window()->isMinimized() &&
               !holder->visibleRegion().isEmpty();
    });
    if (seen && !isRunning())
        animation_->start();
    else if (!seen && isRunning())
        animation_->stop();
}

bool PulseClock::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::Move:
    case QEvent::Resize: recheck(); break;
    default: break;
    }
    return QObject::eventFilter(watched, event);
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
        clock_->release(this);
}

void StatusDot::setDisplay(const StatusDisplay& display)
{
    display_ = display;
    if (display_.pulses != holding_) {
        holding_ = display_.pulses;
        if (clock_)
            holding_ ? clock_->hold(this) : clock_->release(this);
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
