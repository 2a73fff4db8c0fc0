#include "ui/explorer/web_view_module.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QOpenGLContext>

// Exported by Qt GUI: the context every QOpenGLContext created later shares with.
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);

namespace {

// What the engine's start-up does when it is linked in and the QApplication is constructed:
// one global context every later context shares textures with. The web view draws through it.
void shareOpenGLContexts()
{
    if (QOpenGLContext::globalShareContext())
        return;
    // Qt warns that the attribute belongs before the QApplication: set before it, it makes the
    // application create the shared context at once, which is what this avoids. Contexts
    // created from now on, the web view's among them, share with the one made here.
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    qInstallMessageHandler(previous);
    // Shared even when it could not be created (no GL here), as the engine's own start-up does:
    // the engine then draws in software.
    auto* context = new QOpenGLContext(QCoreApplication::instance());
    context->create();
    qt_gl_set_global_share_context(context);
}

struct LoadedModule
{
    WebViewModuleEntry entry = nullptr;
    QString failure;
};

LoadedModule load()
{
    LoadedModule loaded;
    QString path = qEnvironmentVariable("TALLOWMERE_WEBVIEW_MODULE");
    if (path.isEmpty())
        path =
            QCoreApplication::applicationDirPath() + u'/' + QString::fromLatin1(webViewModuleName);
    shareOpenGLContexts();
    // Never unloaded: the engine's threads and pages live until the process ends.
    QLibrary library(path);
    if (library.load())
        loaded.entry = reinterpret_cast<WebViewModuleEntry>(library.resolve(webViewModuleEntry));
    if (!loaded.entry)
        loaded.failure = QStringLiteral("The web view can't start: %1").arg(library.errorString());
    return loaded;
}

} // namespace

ExplorerPage* createPageFromWebViewModule(const QUrl& url, bool dark, QWidget* parent, QString* why)
{
    static const LoadedModule module = load();
    if (!module.entry) {
        if (why)
            *why = module.failure;
        return nullptr;
    }
    return module.entry(url, dark, parent, why);
}
