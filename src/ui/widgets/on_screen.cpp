#include "ui/widgets/on_screen.h"

#include <QEvent>
#include <QWidget>

bool isOnScreen(const QWidget* widget)
{
    // Minimising keeps the widgets "visible" but takes them off the screen.
    return widget->isVisible() && !widget->window()->isMinimized() &&
           !widget->visibleRegion().isEmpty();
}

OnScreenWatch::OnScreenWatch(QWidget* widget) : QObject(widget), widget_(widget)
{
    widget_->installEventFilter(this);
    watchAncestors();
    onScreen_ = isOnScreen(widget_);
}

void OnScreenWatch::recheck()
{
    const bool now = isOnScreen(widget_);
    if (now == onScreen_)
        return;
    onScreen_ = now;
    emit changed(onScreen_);
}

void OnScreenWatch::watchAncestors()
{
    for (const QPointer<QWidget>& ancestor : std::as_const(ancestors_))
        if (ancestor)
            ancestor->removeEventFilter(this);
    ancestors_.clear();
    for (QWidget* ancestor = widget_->parentWidget(); ancestor;
         ancestor = ancestor->parentWidget()) {
        ancestor->installEventFilter(this);
        ancestors_.append(ancestor);
        if (ancestor->isWindow())
            break;
    }
}

bool OnScreenWatch::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ParentChange:
        watchAncestors();
        recheck();
        break;
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowStateChange: recheck(); break;
    default: break;
    }
    return QObject::eventFilter(watched, event);
}
