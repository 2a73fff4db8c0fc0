#pragma once

#include "desktop/application_presence.h"

#include <QList>
#include <QObject>
#include <QPointer>

class QWidget;
class Theme;

// The application's appearance and taskbar presence. Appearance goes to the theme; the taskbar
// policy decides whether the application's windows (the main, settings and about windows) have
// taskbar entries (a tool window has none) or, when prohibited, whether any window may show.
class GuiPresence : public QObject, public ApplicationPresence
{
    Q_OBJECT

public:
    explicit GuiPresence(Theme& theme, QObject* parent = nullptr);

    void setMainWindow(QWidget* window);
    // Another top-level window that follows the taskbar policy (settings, about).
    void addWindow(QWidget* window);
    TaskbarPolicy policy() const { return policy_; }
    // Whether the policy can keep windows out of the taskbar on this display: not on Wayland,
    // where no protocol Qt speaks lets a window skip it.
    static bool canSkipTaskbar();

    void applyAppearance(AppearanceMode mode) override;
    void applyTaskbarPolicy(TaskbarPolicy policy) override;
    void bringToFront() override;

private:
    void applyPolicyTo(QWidget* window);

    Theme& theme_;
    QPointer<QWidget> window_;
    QList<QPointer<QWidget>> others_;
    TaskbarPolicy policy_ = TaskbarPolicy::shown;
};
