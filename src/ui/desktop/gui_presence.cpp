#include "ui/desktop/gui_presence.h"

#include "ui/theme/theme.h"

#include <QApplication>
#include <QWidget>

GuiPresence::GuiPresence(Theme& theme, QObject* parent) : QObject(parent), theme_(theme) {}

void GuiPresence::setMainWindow(QWidget* window)
{
    window_ = window;
    applyPolicyTo(window_);
}

void GuiPresence::addWindow(QWidget* window)
{
    others_.removeAll(nullptr);
    others_.append(window);
    applyPolicyTo(window);
}

bool GuiPresence::canSkipTaskbar()
{
    return !QGuiApplication::platformName().startsWith(QStringLiteral("wayland"));
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
    if (policy_ == TaskbarPolicy::prohibited) {
        for (QWidget* window : QApplication::topLevelWidgets())
            window->close();
        return;
    }
    applyPolicyTo(window_);
    for (const QPointer<QWidget>& window : std::as_const(others_))
        applyPolicyTo(window);
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

void GuiPresence::applyPolicyTo(QWidget* window)
{
    if (!window || policy_ == TaskbarPolicy::prohibited)
        return;
    // On X11 a tool window is a utility window, which taskbars leave out. Wayland's xdg-shell
    // has no such hint: Qt 6.4 makes a tool window an ordinary toplevel there (with a parent, a
    // child toplevel), the taskbar keeps listing it, and changing the flag would only recreate
    // the window. There the flag is left alone.
    if (!canSkipTaskbar())
        return;
    const bool trayOnly = policy_ == TaskbarPolicy::trayOnly;
    if (window->windowFlags().testFlag(Qt::Tool) == trayOnly)
        return;
    // Changing flags hides the window: a visible one is shown again, and keeps the focus it had.
    const bool wasVisible = window->isVisible();
    const bool wasActive = window->isActiveWindow();
    window->setWindowFlag(Qt::Tool, trayOnly);
    if (!wasVisible)
        return;
    window->show();
    if (wasActive) {
        window->raise();
        window->activateWindow();
    }
}
