#include "ui/desktop/gui_presence.h"

#include "ui/theme/theme.h"

#include <QApplication>
#include <QWidget>

GuiPresence::GuiPresence(Theme& theme, QObject* parent) : QObject(parent), theme_(theme) {}

void GuiPresence::setMainWindow(QWidget* window)
{
    window_ = window;
    applyPolicyToWindow();
}

void GuiPresence::applyAppearance(AppearanceMode mode)
{
    theme_.setMode(mode);
}

void GuiPresence::applyTaskbarPolicy(TaskbarPolicy policy)
{
    if (policy_ == policy)
        return;
    policy_ = policy;
    applyPolicyToWindow();
}

void GuiPresence::bringToFront()
{
    if (!window_ || policy_ == TaskbarPolicy::prohibited)
        return;
    window_->show();
    window_->setWindowState((window_->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window_->raise();
    window_->activateWindow();
}

void GuiPresence::applyPolicyToWindow()
{
    if (policy_ == TaskbarPolicy::prohibited) {
        for (QWidget* window : QApplication::topLevelWidgets())
            window->close();
        return;
    }
    if (!window_)
        return;
    // A tool window skips the taskbar on X11 and Wayland desktops. Changing flags hides the
    // window, so a visible one is shown again.
    const bool wasVisible = window_->isVisible();
    const bool trayOnly = policy_ == TaskbarPolicy::trayOnly;
    if (window_->windowFlags().testFlag(Qt::Tool) == trayOnly)
        return;
    window_->setWindowFlag(Qt::Tool, trayOnly);
    if (wasVisible)
        window_->show();
}
