#include "ui/app_lifecycle.h"

#include "base/deliver.h"
#include "model/app_model.h"

#include <QCloseEvent>
#include <QWidget>

AppLifecycle::AppLifecycle(AppModel& model, std::function<void(int)> exit, QObject* parent)
    : QObject(parent), model_(model), exit_(std::move(exit))
{}

void AppLifecycle::requestQuit()
{
    if (isQuitting())
        return;
    asking_ = true;
    deliverTo(this, model_.confirmQuit(), [this](bool goAhead) {
        asking_ = false;
        if (goAhead)
            stopAllAndExit();
    });
}

void AppLifecycle::endSession()
{
    // A confirmation still on screen no longer matters: the answer is dropped with it.
    asking_ = false;
    stopAllAndExit();
}

void AppLifecycle::stopAllAndExit()
{
    if (quitting_)
        return;
    quitting_ = true;
    deliverTo(this, model_.stopAll(), [this] { exit_(0); });
}

void AppLifecycle::watchMainWindow(QWidget* window, bool hasTray)
{
    if (window_)
        window_->removeEventFilter(this);
    window_ = window;
    hasTray_ = hasTray;
    if (window_)
        window_->installEventFilter(this);
}

bool AppLifecycle::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window_ && event->type() == QEvent::Close && !hasTray_ && !quitting_) {
        // Nothing would bring a hidden window back: closing it is quitting.
        event->ignore();
        requestQuit();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
