#pragma once

#include "desktop/application_presence.h"

#include <QObject>
#include <QPointer>

class QWidget;
class Theme;

// The application's appearance and taskbar presence. Appearance goes to the theme; the taskbar
// policy decides whether the main window has a taskbar entry (a tool window has none) or, when
// prohibited, whether any window may show at all.
class GuiPresence : public QObject, public ApplicationPresence
{
    Q_OBJECT

public:
    explicit GuiPresence(Theme& theme, QObject* parent = nullptr);

    void setMainWindow(QWidget* window);
    TaskbarPolicy policy() const { return policy_; }

    void applyAppearance(AppearanceMode mode) override;
    void applyTaskbarPolicy(TaskbarPolicy policy) override;
    void bringToFront() override;

private:
    void applyPolicyToWindow();

    Theme& theme_;
    QPointer<QWidget> window_;
    TaskbarPolicy policy_ = TaskbarPolicy::shown;
};
