#include "ui/gui_main.h"

#include "supervision/shell_environment.h"
#include "ui/about/product.h"
#include "ui/app_shell.h"
#include "ui/diagnostics/icon_export.h"
#include "ui/diagnostics/launch_plan.h"
#include "ui/webview/web_engine_setup.h"

#include <QApplication>
#include <QStyleFactory>
#include <QTimer>

int runGui(int argc, char** argv)
{
    prepareWebEngineProcess();
    QApplication app(argc, argv);
    QApplication::setApplicationName(Product::name);
    QApplication::setApplicationVersion(Product::versionText());
    QApplication::setDesktopFileName(QStringLiteral("com.tallowmere.Tallowmere"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    const Environment environment = ShellEnvironment::processEnvironment();
    const LaunchPlan plan = LaunchPlan::fromEnvironment(environment);

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
