#pragma once

#include "base/environment.h"
#include "ui/about/about_window.h"
#include "ui/diagnostics/launch_plan.h"
#include "ui/main_window.h"
#include "ui/settings/settings_window.h"
#include "ui/ui_context.h"

#include <QObject>
#include <QPointer>

#include <memory>

class AppLifecycle;
class AppModel;
class DesktopNotifications;
class ServerEventNotifier;
class DiagnosticsRunner;
class GuiAlertPresenter;
class GuiPresence;
class GuiWorkspace;
class LoginItem;

class SystemColorScheme;
class TerminationSignals;
class Theme;
class TrayIcon;
class TrayWatch;
class WindowActions;

// Owns everything the windowed application is made of: the theme, the desktop services the
// model uses, the model, the main and about windows and the diagnostic runs.
class AppShell : public QObject
{
    Q_OBJECT

public:
    AppShell(const Environment& environment, const LaunchPlan& plan, QObject* parent = nullptr);
    ~AppShell() override;

    // Shows the main window (unless the plan forbids windows or the launch is at login), puts
    // the item in the tray and starts the model.
    void start();

    AppModel& model() { return *model_; }
    Theme& theme() { return *theme_; }
    MainWindow* mainWindow() const { return mainWindow_; }
    // Null when the plan forbids windows.
    TrayIcon* tray() const { return tray_; }
    AppLifecycle& lifecycle() { return *lifecycle_; }
    // The commands the window, its menus and the tray trigger; they outlive the window.
    WindowActions* windowActions() const { return windowActions_; }
    void showAbout();
    // Opens the main window and brings it to the front.
    void showMainWindow();
    // Quit Tallowmere: the confirmation, then every server stopped, then the process ends.
    void quit();
    // Opens the settings window, or brings the open one to the front.
    void showSettings();
    SettingsWindow* settingsWindow() const { return settings_; }

private:
    void startModel();
    void trayAppeared();
    static void setWindowIcon();
    void runDiagnostics();
    void createMainWindow();
    void addMenuBar();
    void notifyServerEvents();

    Environment environment_;
    LaunchPlan plan_;
    SystemColorScheme* systemScheme_;
    Theme* theme_;
    GuiAlertPresenter* alerts_;
    GuiPresence* presence_;
    GuiWorkspace* workspace_;
    std::unique_ptr<AppModel> model_;
    WindowActions* windowActions_ = nullptr;
    std::unique_ptr<UiContext> ui_;
    QPointer<MainWindow> mainWindow_;
    QPointer<AboutWindow> about_;
    std::unique_ptr<LoginItem> loginItem_;
    QPointer<SettingsWindow> settings_;
    DiagnosticsRunner* diagnostics_ = nullptr;
    AppLifecycle* lifecycle_;
    TerminationSignals* terminationSignals_;
    TrayIcon* tray_ = nullptr;
    TrayWatch* trayWatch_ = nullptr;
    DesktopNotifications* notifications_ = nullptr;
    ServerEventNotifier* serverEvents_ = nullptr;
};
