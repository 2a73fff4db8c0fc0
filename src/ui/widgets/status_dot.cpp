#include "ui/widgets/status_dot.h"

#include "ui/widgets/on_screen.h"

#include <QEasingCurve>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QtMath>

#include <algorithm>

PulseClock::PulseClock(QObject* parent) : QObject(parent), timer_(new QTimer(this))
{
    timer_->setObjectName(QStringLiteral("animationFrameTimer"));
    timer_->setInterval(frameInterval);
    connect(timer_, &QTimer::timeout, this, [this] {
        frameTime_ = since_.elapsed();
        emit ticked();
    });
    since_.start();
}

qreal PulseClock::phase() const
{
    if (!isRunning())
        return 0.0;
    static const QEasingCurve curve(QEasingCurve::OutCubic);
    return curve.valueForProgress(qreal(frameTime_ % haloPeriod) / haloPeriod);
}

bool PulseClock::isRunning() const
{
    return timer_->isActive();
}

bool PulseClock::animates(const QWidget* holder) const
{
    const QPointer<OnScreenWatch> watch = holders_.value(holder);
    return watch && watch->onScreen() && isRunning();
}

void PulseClock::hold(QWidget* holder)
{
    if (!holder || holders_.contains(holder))
        return;
    auto* watch = new OnScreenWatch(holder);
    holders_.insert(holder, watch);
    connect(watch, &OnScreenWatch::changed, this, &PulseClock::sync);
    // The watch goes with its widget.
    connect(watch, &QObject::destroyed, this, [this, holder] {
        holders_.remove(holder);
        sync();
    });
    sync();
}

void PulseClock::release(QWidget* holder)
{
    const auto found = holders_.find(holder);
    if (found == holders_.end())
        return;
    const QPointer<OnScreenWatch> watch = found.value();
    holders_.erase(found);
    delete watch.data();
    sync();
}

void PulseClock::sync()
{
    const bool seen =
        std::any_of(holders_.cbegin(), holders_.cend(), [](const QPointer<OnScreenWatch>& watch) {
            return watch && watch->onScreen();
        });
    if (seen && !isRunning()) {
        frameTime_ = since_.elapsed();
        timer_->start();
    } else if (!seen && isRunning()) {
        timer_->stop();
    }
}

namespace {

// The halo at its largest and fully opaque, drawn once per colour: a frame scales it and fades
// it, a single pass over its few lines, where filling an antialiased circle each frame would
// cost many more spans.
QPixmap haloSprite(const QColor& color, qreal size)
{
    static QHash<QPair<QRgb, int>, QPixmap> sprites;
    QPixmap& sprite = sprites[{color.rgba(), qRound(size * 16)}];
    if (sprite.isNull()) {
        const qreal radius = size * 2.1;
        constexpr int oversample = 2; // a bilinear scale-down from twice the size stays smooth
        const int side = qCeil(2 * radius * oversample);
        QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawEllipse(QRectF(0, 0, side, side));
        painter.end();
        sprite = QPixmap::fromImage(image);
    }
    return sprite;
}

} // namespace

void paintStatusDot(QPainter& painter, QPointF centre, const StatusDisplay& display, qreal size,
                    qreal phase)
{
    painter.save();
    if (display.pulses) {
        // The halo: twice the dot, at 35 %, growing 1.0 -> 2.1 while fading 0.8 -> 0.
        const qreal radius = size * (1.0 + 1.1 * phase); // half of 2 x size x scale
        QColor opaque = display.dotColor;
        opaque.setAlphaF(1.0);
        const QPixmap sprite = haloSprite(opaque, size);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.setOpacity(painter.opacity() * display.dotColor.alphaF() * 0.35 *
                           (0.8 * (1.0 - phase)));
        painter.drawPixmap(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius),
                           sprite, QRectF(sprite.rect()));
        painter.restore();
        painter.save();
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
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
        if (clock_ && clock_->animates(this))
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
