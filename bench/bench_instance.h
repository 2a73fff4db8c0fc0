#pragma once

// The running instance the control-socket benchmarks talk to: `projectCount` registered
// projects in a temporary support folder, the model, and the control server on the instance's
// socket. The benchmarks run on a thread of their own while the main thread serves them.

#include "control/control_handler.h"
#include "control/control_server.h"
#include "control/instance_lock.h"
#include "model/app_model.h"
#include "storage/registry_file.h"
#include "storage/storage.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <thread>

inline int runBenchmarksAgainstInstance(int argc, char** argv, int projectCount)
{
    QTemporaryDir folder;
    qputenv("TALLOWMERE_SUPPORT_DIR",
            QDir(folder.path()).filePath(QStringLiteral("support")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", folder.path().toUtf8());
    Registry registry;
    for (int i = 0; i < projectCount; ++i) {
        Project project;
        project.path =
            folder.path() + QStringLiteral("/sites/project-%1").arg(i, 3, 10, QLatin1Char('0'));
        project.configFile = QStringLiteral("wrangler.toml");
        project.name = QStringLiteral("project-%1").arg(i, 3, 10, QLatin1Char('0'));
        registry.projects.append(project);
    }
    saveRegistry(registry);

    QCoreApplication app(argc, argv);
    AppModel model(defaultAppModelContext({}));
    ControlHandler handler(model);
    ControlServer server([&handler](const ControlRequest& request, ControlReply* reply) {
        handler.handle(request, reply);
    });
    if (const auto failure =
            server.listen(InstanceAddress::forSupportFolder(supportDirectory()).socketPath)) {
        std::fprintf(stderr, "cannot listen: %s\n", qPrintable(*failure));
        return 1;
    }

    benchmark::Initialize(&argc, argv);
    std::thread measuring([&app] {
        benchmark::RunSpecifiedBenchmarks();
        QMetaObject::invokeMethod(
            &app, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    });
    app.exec();
    measuring.join();
    return 0;
}
