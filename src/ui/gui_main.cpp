#include "ui/gui_main.h"

#include "control/control_handler.h"
#include "control/control_server.h"
#include "control/launch_claim.h"
#include "storage/storage.h"
#include "supervision/shell_environment.h"
#include "ui/about/product.h"
#include "ui/app_shell.h"
#include "ui/diagnostics/icon_export.h"
#include "ui/diagnostics/launch_plan.h"
#include "ui/explorer/web_engine_setup.h"

#include <QApplication>
#include <QStyleFactory>
#include <QTimer>

#include <algorithm>

int runGui(int argc, char** argv)
{
    // One instance per support folder: a second launch hands its request to the first and
    // ends before it touches the window system.
    const Environment launchEnvironment = ShellEnvironment::processEnvironment();
    LaunchClaim claim;
    if (launchClaimsInstance(launchEnvironment)) {
        const bool atLogin = std::any_of(argv + 1, argv + argc, [](const char* argument) {
            return qstrcmp(argument, "--autostart") == 0;
        });
        claim = claimLaunch(InstanceAddress::forSupportFolder(supportDirectory()), !atLogin);
        if (claim.exitCode)
            return *claim.exitCode;
    }

    prepareWebEngineProcess();
    QApplication app(argc, argv);
    QApplication::setApplicationName(Product::name);
    QApplication::setApplicationVersion(Product::versionText());
    QApplication::setDesktopFileName(QStringLiteral("com.tallowmere.Tallowmere"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    const Environment environment = ShellEnvironment::processEnvironment();
    LaunchPlan plan = LaunchPlan::fromEnvironment(environment);
    plan.autostart = QCoreApplication::arguments().contains(QStringLiteral("--autostart"));
    // Closing the main window leaves the application in the tray; quitting is explicit.
    QApplication::setQuitOnLastWindowClosed(false);

    // Under a test runner: no window, no model; the runner drives the process.
    if (plan.inert) {
        QApplication::closeAllWindows();
        return app.exec();
    }
    if (plan.iconFolder) {
        const QString folder = *plan.iconFolder;
        QTimer::singleShot(0, &app, [folder] {
            exportIcon(folder);
            QCoreApplication::exit(0);
        });
        return app.exec();
    }

    AppShell shell(environment, plan);
    ControlHandler handler(shell.model());
    ControlServer control([&handler](const ControlRequest& request, ControlReply* reply) {
        handler.handle(request, reply);
    });
    if (claim.lock)
        if (const auto failure =
                control.listen(InstanceAddress::forSupportFolder(supportDirectory()).socketPath))
            qWarning("tallowmere: the control socket is unavailable: %s", qPrintable(*failure));
    shell.start();
    return app.exec();
}
