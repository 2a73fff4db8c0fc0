#include "ui/explorer/explorer_pages.h"
#include "ui/explorer/web_engine_setup.h"
#include "ui/webview/explorer_web_view.h"

#include <QApplication>
#include <QStyleFactory>

#include <gtest/gtest.h>

// GUI tests run on the offscreen platform unless the caller chose another.
int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    // As the application does, so that a test may show a real web view.
    prepareWebEngineProcess();
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // The tests link the web view; the application opens it as a module.
    setDefaultExplorerPages(&ExplorerWebView::create);
    return RUN_ALL_TESTS();
}
