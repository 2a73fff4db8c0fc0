#include "ui/gui_main.h"

#include "supervision/shell_environment.h"
#include "ui/about/product.h"
#include "ui/app_shell.h"
#include "ui/diagnostics/icon_export.h"
#include "ui/diagnostics/launch_plan.h"

#include <QApplication>
#include <QStyleFactory>
#include <QTimer>

#include <unistd.h>

namespace {

// Settings that must exist before the QApplication does.
void prepareProcess()
{
    // Chromium refuses to run as root with its sandbox on (CI runs as root).
    if (geteuid() == 0) {
        QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        if (!flags.contains("--no-sandbox"))
            qputenv("QTWEBENGINE_CHROMIUM_FLAGS", (flags + " --no-sandbox").trimmed());
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

} // namespace

int runGui(int argc, char** argv)
{
    prepareProcess();
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
    shell.start();
    return app.exec();
}
