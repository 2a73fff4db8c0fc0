#include "ui/webview/web_engine_setup.h"

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
        for (const QByteArray flag : {QByteArray("--no-sandbox"), QByteArray("--no-zygote")})
            if (!flags.contains(flag))
                flags += ' ' + flag;
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
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
