#pragma once

#include "base/app_settings.h"

// Whether the application appears in the taskbar (the "Dock icon" setting and demo mode).
enum class TaskbarPolicy {
    shown,     // the main window has a taskbar entry
    trayOnly,  // only the tray item; windows that are shown skip the taskbar
    prohibited // no tray item and no windows
};

inline QString rawValue(TaskbarPolicy policy)
{
    switch (policy) {
    case TaskbarPolicy::shown: return QStringLiteral("shown");
    case TaskbarPolicy::trayOnly: return QStringLiteral("trayOnly");
    case TaskbarPolicy::prohibited: return QStringLiteral("prohibited");
    }
    return {};
}

// How the application presents itself on the desktop. Implemented by the GUI; the headless
// model calls it when settings change and at launch. Every call happens on the main thread and
// must be harmless when no window exists yet.
class ApplicationPresence
{
public:
    virtual ~ApplicationPresence() = default;

    // system follows the desktop's colour scheme; light and dark force the application's palette.
    virtual void applyAppearance(AppearanceMode mode) = 0;
    virtual void applyTaskbarPolicy(TaskbarPolicy policy) = 0;
    // Raises and activates the application's window, even when another application is active.
    virtual void bringToFront() = 0;
};
