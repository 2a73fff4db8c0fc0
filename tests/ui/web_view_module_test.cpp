#include "support/temp_folder.h"
#include "support/wait_until.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

QProcessEnvironment demoEnvironment(const TempFolder& folder)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), folder.filePath(QStringLiteral("home")));
    environment.insert(QStringLiteral("TALLOWMERE_SUPPORT_DIR"),
                       folder.filePath(QStringLiteral("support")));
    environment.insert(QStringLiteral("TALLOWMERE_DEMO"), QStringLiteral("1"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return environment;
}

QByteArray mappedFiles(qint64 pid)
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    return maps.open(QIODevice::ReadOnly) ? maps.readAll() : QByteArray();
}

} // namespace

// The real application: the web engine is not in the process until the Explorer shows a page,
// and then it is opened from the module beside the window's executable and draws the page.
TEST(WebViewModule, TheEngineIsOpenedOnlyWhenTheExplorerShowsAPage)
{
    TempFolder folder;
    {
        QProcess idle;
        idle.setProcessEnvironment(demoEnvironment(folder));
        idle.start(QStringLiteral(TALLOWMERE_EXECUTABLE), {});
        ASSERT_TRUE(idle.waitForStarted());
        // The window executable replaces the launcher in the same process; once its widgets
        // are mapped, start-up is well past the QApplication.
        WAIT_UNTIL(mappedFiles(idle.processId()).contains("libQt6Widgets"), 20000);
        QTest::qWait(1500);
        const QByteArray maps = mappedFiles(idle.processId());
        idle.kill();
        idle.waitForFinished(5000);
        EXPECT_FALSE(maps.contains("libQt6WebEngineCore"));
        EXPECT_FALSE(maps.contains("tallowmere-webview"));
    }

    QProcessEnvironment environment = demoEnvironment(folder);
    const QString shots = folder.filePath(QStringLiteral("shots"));
    environment.insert(QStringLiteral("TALLOWMERE_DEBUG_SNAPSHOT"), shots);
    environment.insert(QStringLiteral("TALLOWMERE_DEBUG_PROJECT"), QStringLiteral("aurora-api"));
    QProcess snapshots;
    snapshots.setProcessEnvironment(environment);
    snapshots.start(QStringLiteral(TALLOWMERE_EXECUTABLE), {});
    ASSERT_TRUE(snapshots.waitForFinished(90000));
    const QString errors = QString::fromUtf8(snapshots.readAllStandardError());
    EXPECT_EQ(snapshots.exitCode(), 0) << errors.toStdString();
    EXPECT_TRUE(QFileInfo(QDir(shots).filePath(QStringLiteral("light-explorer.png"))).size() > 0);
    // The engine reports its start once a page is created; the tab's fallback never does.
    EXPECT_TRUE(errors.contains(QStringLiteral("qt.webenginecontext"))) << errors.toStdString();
    EXPECT_FALSE(errors.contains(QStringLiteral("must be set before"))) << errors.toStdString();
}
