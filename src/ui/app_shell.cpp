#include "ui/app_shell.h"

#include "desktop/autostart_login_item.h"
#include "desktop/termination_signals.h"
#include "model/app_model.h"
#include "model/exit_cleanup.h"
#include "ui/about/about_window.h"
#include "ui/about/app_icon_art.h"
#include "ui/about/product.h"
#include "ui/add_actions.h"
#include "ui/app_lifecycle.h"
#include "ui/app_menu_bar.h"
#include "ui/desktop/desktop_notifications.h"
#include "ui/desktop/gui_alert_presenter.h"
#include "ui/desktop/gui_presence.h"
#include "ui/desktop/gui_workspace.h"
#include "ui/desktop/server_event_notifier.h"
#include "ui/diagnostics/crash_hook.h"
#include "ui/diagnostics/diagnostics_runner.h"
#include "ui/main_window.h"
#include "ui/theme/system_color_scheme.h"
#include "ui/theme/theme.h"
#include "ui/tray/no_tray_notice.h"
#include "ui/tray/tray_icon.h"
#include "ui/tray/tray_watch.h"
#include "ui/widgets/status_dot.h"
#include "ui/window_actions.h"

#include <QApplication>
#include <QIcon>
#include <QLayout>
#include <QMenu>
#include <QTimer>

AppShell::AppShell(const Environment& environment, const LaunchPlan& plan, QObject* parent)
    : QObject(parent), environment_(environment), plan_(plan),
      systemScheme_(new SystemColorScheme(this)), theme_(new Theme(systemScheme_, this)),
      alerts_(new GuiAlertPresenter(this)), presence_(new GuiPresence(*theme_, this)),
      workspace_(new GuiWorkspace(this))
{
    AppModelContext context =
        defaultAppModelContext(DesktopServices{alerts_, presence_, workspace_});
    context.environment = environment_;
    model_ = std::make_unique<AppModel>(std::move(context));
    windowActions_ = new WindowActions(*model_, this);
    ui_ = std::make_unique<UiContext>(
        UiContext{*model_, *theme_, *workspace_, *alerts_, {}, {}, {}, windowActions_});
    ui_->frames = new PulseClock(this);
    AppModel* model = model_.get();
    ui_->refreshUsage = [model](const QString& path) { return model->refreshUsage(path); };
    ui_->refreshTraffic = [model](const QString& path) { return model->refreshTraffic(path); };
    ui_->openSettings = [this] { showSettings(); };
    loginItem_ = std::make_unique<AutostartLoginItem>(AutostartEntry::forEnvironment(environment_),
                                                      QCoreApplication::applicationFilePath());
    lifecycle_ = new AppLifecycle(
        *model_, [](int code) { QCoreApplication::exit(code); }, this);
    // The session ending stops every server before the process goes.
    terminationSignals_ = new TerminationSignals(this);
    connect(terminationSignals_, &TerminationSignals::received, lifecycle_,
            &AppLifecycle::endSession);
}

AppShell::~AppShell()
{
    // What watches the model goes before it.
    delete serverEvents_;
    delete tray_;
    delete mainWindow_;
    delete about_;
    delete settings_;
}

void AppShell::start()
{
    // From here on no server outlives the process, however it ends.
    installExitCleanup();
    if (plan_.crashOnSignal)
        new CrashHook(*plan_.crashOnSignal, this);
    if (plan_.policy)
        presence_->applyTaskbarPolicy(*plan_.policy);
    if (presence_->policy() != TaskbarPolicy::prohibited) {
        setWindowIcon();
        tray_ = new TrayIcon(*ui_, systemScheme_,
                             {[this] { showMainWindow(); }, [this] { quit(); }}, this);
        trayWatch_ = new TrayWatch(QDBusConnection::sessionBus(), this);
        if (trayWatch_->available())
            tray_->install();
        connect(trayWatch_, &TrayWatch::appeared, this, &AppShell::trayAppeared);
        createMainWindow();
        notifyServerEvents();
        // A launch at login runs quietly in the tray. The panel often comes after the
        // application: without a tray within the grace period nothing could open the window
        // later, so it opens then.
        if (!plan_.autostart)
            mainWindow_->show();
        else if (!tray_->isInstalled())
            QTimer::singleShot(TrayWatch::graceMs, mainWindow_, [this] {
                if (!tray_->isInstalled())
                    mainWindow_->show();
            });
    }
    QTimer::singleShot(0, this, &AppShell::startModel);
}

void AppShell::trayAppeared()
{
    tray_->install();
    lifecycle_->setHasTray(true);
    if (mainWindow_)
        delete mainWindow_->findChild<NoTrayNotice*>();
}

void AppShell::setWindowIcon()
{
    // Before any window shows, so that every one of them (also a settings window opened from
    // the tray after a launch at login) carries it.
    QApplication::setWindowIcon(QIcon(QPixmap::fromImage(AppIconArt::render(256))));
}

void AppShell::createMainWindow()
{
    mainWindow_ = new MainWindow(*ui_);
    MainWindow* window = mainWindow_;
    ui_->chooseFolder = [window](const QString& prompt, const QString& message,
                                 const std::function<void(const QString&)>& chosen) {
        AddActions::chooseFolderWithDialog(window, prompt, message, chosen);
    };
    alerts_->setWindow(mainWindow_);
    // The model polls servers started elsewhere only while the window is on screen.
    connect(mainWindow_, &MainWindow::appeared, model_.get(), &AppModel::windowAppeared);
    connect(mainWindow_, &MainWindow::disappeared, model_.get(), &AppModel::windowDisappeared);
    presence_->setMainWindow(mainWindow_);
    if (plan_.windowWidth) {
        const int width = *plan_.windowWidth;
        QTimer::singleShot(1500, mainWindow_, [window, width] { window->resize(width, 760); });
    }
    addMenuBar();
    const bool hasTray = tray_ && tray_->isInstalled();
    lifecycle_->watchMainWindow(mainWindow_, hasTray);
    // Diagnostic runs (which force a policy) photograph the window as users see it with a tray.
    if (!hasTray && !plan_.policy)
        NoTrayNotice::addTo(mainWindow_, *theme_);
}

void AppShell::addMenuBar()
{
    AppMenuBar* menuBar = AppMenuBar::addTo(mainWindow_, *windowActions_);
    connect(menuBar, &AppMenuBar::aboutRequested, this, &AppShell::showAbout);
    connect(menuBar, &AppMenuBar::quitRequested, this, &AppShell::quit);
    // The settings window connects through the shared context once it exists.
    connect(menuBar, &AppMenuBar::settingsRequested, this, [this] {
        if (ui_->openSettings)
            ui_->openSettings();
    });
}

void AppShell::notifyServerEvents()
{
    notifications_ = new DesktopNotifications(QDBusConnection::sessionBus(), this);
    DesktopNotifications* notifications = notifications_;
    serverEvents_ = new ServerEventNotifier(
        *model_, [this] { return mainWindow_ && mainWindow_->isVisible(); },
        [notifications](const QString& path, const QString& summary, const QString& body) {
            notifications->notify(path, summary, body);
        },
        this);
    // Activating one shows its project.
    connect(notifications_, &DesktopNotifications::activated, this, [this](const QString& path) {
        model_->select(path);
        showMainWindow();
    });
}

void AppShell::showMainWindow()
{
    presence_->bringToFront();
}

void AppShell::quit()
{
    lifecycle_->requestQuit();
}

void AppShell::startModel()
{
    connect(model_.get(), &AppModel::bootstrapFinished, this, &AppShell::runDiagnostics,
            Qt::SingleShotConnection);
    model_->launch();
}

void AppShell::runDiagnostics()
{
    const DiagnosticsPlan plan = DiagnosticsPlan::fromEnvironment(environment_);
    if (!plan.addRoot && !plan.startAndReport() && !plan.snapshotFolder)
        return;
    DiagnosticsRunner::Hooks hooks;
    hooks.mainWindow = [this]() -> QWidget* { return mainWindow_; };
    hooks.trayMenu = [this]() -> QWidget* { return tray_ ? tray_->menu()->menu() : nullptr; };
    hooks.bringToFront = [this] { presence_->bringToFront(); };
    hooks.exit = [](int code) { QCoreApplication::exit(code); };
    hooks.settingsWindow = [this]() -> QWidget* {
        showSettings();
        return settings_;
    };
    diagnostics_ = new DiagnosticsRunner(*model_, *theme_, plan, hooks, {}, this);
    diagnostics_->run();
}

void AppShell::showAbout()
{
    if (!about_) {
        about_ = new AboutWindow(*theme_, Product::website(), Product::supportAddress());
        about_->setAttribute(Qt::WA_DeleteOnClose);
        presence_->addWindow(about_);
        connect(about_, &AboutWindow::openRequested, this,
                [this](const QUrl& address) { workspace_->openAddress(address); });
    }
    about_->show();
    about_->raise();
    about_->activateWindow();
}

void AppShell::showSettings()
{
    if (!settings_) {
        settings_ = new SettingsWindow(*ui_, *loginItem_, SettingsChoosers::dialogs());
        settings_->setAttribute(Qt::WA_DeleteOnClose);
        presence_->addWindow(settings_);
    }
    settings_->show();
    settings_->raise();
    settings_->activateWindow();
}
