#include "ui/widgets/focus_ring.h"

#include "ui/theme/palette.h"
#include "ui/theme/theme.h"

#include <QApplication>
#include <QFocusFrame>
#include <QPainter>

namespace {

// Qt's focus frame follows its widget through moves, resizes and reparenting, and lets the
// pointer through; this one only draws the ring in the accent colour.
class RingFrame : public QFocusFrame
{
public:
    RingFrame(Theme& theme, QWidget* parent) : QFocusFrame(parent), theme_(theme)
    {
        setObjectName(QStringLiteral("focusRing"));
        connect(&theme_, &Theme::schemeChanged, this, [this] { update(); });
    }

    // Qt's frame masks out its widget's area and stacks itself under the widget, which would
    // hide the part of the ring drawn inside a clipped widget: whenever the frame places
    // itself, the mask is dropped and the frame goes on top.
    void follow(QWidget* widget)
    {
        setWidget(widget);
        onTop();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const bool handled = QFocusFrame::eventFilter(watched, event);
        onTop();
        return handled;
    }
    bool event(QEvent* event) override
    {
        const bool handled = QFocusFrame::event(event);
        if (event->type() != QEvent::Paint && event->type() != QEvent::ZOrderChange)
            onTop();
        return handled;
    }
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(theme_.palette().accent, 2));
        painter.setBrush(Qt::NoBrush);
        // A widget flush with an edge of its parent (a tab, a text view) would lose that side of
        // the ring to the parent's clip: there the ring is drawn just inside the widget.
        QRect visible = rect();
        if (const QWidget* parent = parentWidget())
            visible &= QRect(mapFromParent(QPoint(0, 0)), parent->size());
        painter.drawRoundedRect(QRectF(visible).adjusted(1, 1, -1, -1), 7, 7);
    }

private:
    void onTop()
    {
        if (!mask().isEmpty())
            clearMask();
        if (QWidget* parent = parentWidget(); parent && parent->children().last() != this)
            raise();
    }

    Theme& theme_;
};

} // namespace

FocusRing::FocusRing(Theme& theme, QWidget* window)
    : QObject(window), theme_(theme), window_(window)
{
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { focusChanged(now); });
}

QWidget* FocusRing::ringed() const
{
    return frame_ && frame_->isVisible() ? frame_->widget() : nullptr;
}

bool FocusRing::cameFromKeyboard(const QWidget* widget)
{
    return widget->window()->testAttribute(Qt::WA_KeyboardFocusChange) &&
           QGuiApplication::mouseButtons() == Qt::NoButton;
}

void FocusRing::focusChanged(QWidget* now)
{
    const bool inWindow = now && now->window() == window_;
    // A click starts afresh: focus set from code afterwards shows no ring until the keyboard
    // moves it again.
    if (inWindow && QGuiApplication::mouseButtons() != Qt::NoButton)
        window_->setAttribute(Qt::WA_KeyboardFocusChange, false);
    const bool show = inWindow && !now->property(ownRingProperty).toBool() && cameFromKeyboard(now);
    if (!show) {
        if (frame_)
            frame_->setWidget(nullptr);
        return;
    }
    // The frame lives beside its widget, so it goes with a page that is torn down: made anew.
    if (!frame_)
        frame_ = new RingFrame(theme_, window_);
    static_cast<RingFrame*>(frame_.data())->follow(now);
    frame_->show();
}
