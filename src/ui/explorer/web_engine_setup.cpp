#include "ui/explorer/web_engine_setup.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>

#include <unistd.h>

void prepareWebEngineProcess()
{
    // Without a sandbox the zygote has nothing to prepare, and it would outlive every page: with
    // no zygote the renderers are the only helper processes, and they end with their pages.
    if (geteuid() == 0) {
        QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        for (const char* flag : {"--no-sandbox", "--no-zygote"})
            if (!flags.contains(flag))
                flags += QByteArray(" ") + flag;
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
    }
}

std::optional<QString> webEngineUnavailableReason()
{
    if (!QCoreApplication::testAttribute(Qt::AA_ShareOpenGLContexts))
        return QStringLiteral("The web view can't start in this process.");
    // Without its helper program Qt WebEngine ends the process instead of failing.
    QString helper = qEnvironmentVariable("QTWEBENGINEPROCESS_PATH");
    if (helper.isEmpty())
        helper = QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath) +
                 QStringLiteral("/QtWebEngineProcess");
    if (!QFileInfo(helper).isExecutable())
        return QStringLiteral("The web view can't start: QtWebEngineProcess is missing.");
    return std::nullopt;
}

bool chooseWebEngineScheme(bool dark)
{
    // Read by the engine when its first profile is created, and never again.
    static const bool chosen = [dark] {
        if (dark) {
            QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
            if (!flags.contains("--force-dark-mode"))
                qputenv("QTWEBENGINE_CHROMIUM_FLAGS", (flags + " --force-dark-mode").trimmed());
        }
        return dark;
    }();
    return chosen;
}
