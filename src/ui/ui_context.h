#pragma once

#include <QFuture>
#include <QString>

#include <functional>

class AlertPresenter;
class AppModel;
class PulseClock;
class Theme;
class WindowActions;
class Workspace;

// What every view of the main window reads and acts through. The views hold no state of their
// own beyond hover and focus; every action goes to the model or to a desktop service.
struct UiContext
{
    AppModel& model;
    Theme& theme;
    Workspace& workspace;
    AlertPresenter& alerts;
    // Asks for exactly one folder (prompt is the confirm button, message the explanation) and
    // calls `chosen` with it; a cancelled chooser calls nothing. Tests replace it.
    std::function<void(const QString& prompt, const QString& message,
                       std::function<void(const QString& folder)> chosen)>
        chooseFolder;
    // Opens the settings window; empty while there is none.
    std::function<void()> openSettings;
    // Measures a project's memory and processor share into its run state (the model's usage
    // refresh); empty while the model offers none. Resolves once that measurement is in.
    std::function<QFuture<void>(const QString& path)> refreshUsage;
    // The window's commands (Start, Stop, Restart, Rescan Folders) and their shortcuts.
    WindowActions* windowActions;
    // The animation clock every view of the window shares, so that their frames come together
    // (see status_dot.h); a view built without one keeps its own.
    PulseClock* frames = nullptr;
    // Reads a project's traffic from its server when a read is due (the model's traffic
    // refresh); empty while the model offers none. Asked while the project is on screen.
    std::function<QFuture<void>(const QString& path)> refreshTraffic = {};
};
