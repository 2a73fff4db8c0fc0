#include "runs/project_runtime.h"
#include "support/loopback.h"
#include "support/temp_folder.h"
#include "support/wait_until.h"
#include "support/wrangler_install.h"
#include "ui/explorer/explorer_tab.h"
#include "ui/support/engine_processes.h"
#include "ui/support/gui_fixture.h"
#include "ui/theme/theme.h"
#include "ui/webview/explorer_web_view.h"

#include <QDir>
#include <QPushButton>
#include <QTest>

#include <csignal>
#include <gtest/gtest.h>

// The real Local Explorer: Wrangler 4.86.0 serves a Worker with a KV namespace and a D1
// database, the model starts it, and the Explorer tab shows the page in the real web view on
// the offscreen platform. Skipped (with npm's reason) when Wrangler cannot be installed.
//
// With TALLOWMERE_TEST_SNAPSHOT=FOLDER the tab is photographed as SCHEME-explorer-running.png,
// in the scheme TALLOWMERE_TEST_SCHEME names (light unless "dark"): the web engine takes its
// scheme once per process, so each scheme needs a run of its own.

namespace {

// Runs the Worker once so that its KV namespace and D1 database hold data.
bool touchWorker(int port)
{
    return Loopback::get(port, "/").status == 200;
}

// The result of a script run in the page, or an invalid value when none came in time.
QVariant evaluate(ExplorerWebView* view, const QString& script)
{
    std::optional<QVariant> result;
    view->evaluate(script, [&result](const QVariant& value) { result = value; });
    (void)QTest::qWaitFor([&] { return result.has_value(); }, 15000);
    return result.value_or(QVariant());
}

class ExplorerWranglerRealTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!install->ok())
            GTEST_SKIP() << "no real Wrangler " << WranglerInstall::version << ": "
                         << install->failure.toStdString();
        const QString source =
            QStringLiteral(TALLOWMERE_SOURCE_DIR "/tests/ui/fixtures/explorer-worker");
        folder = sites.makeDir(QStringLiteral("explorer-worker"));
        const QString failure = WranglerInstall::placeWorker(*install, source, folder);
        ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
        QMap<QString, QString> environment = WranglerInstall::quietEnvironment(home.path());
        environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/local/bin:/usr/bin:/bin"));
        fixture = std::make_unique<GuiFixture>(
            Registry{{}, {testProject(folder, QStringLiteral("explorer-worker"))}}, environment);
    }

    void TearDown() override
    {
        if (!fixture)
            return;
        ProjectRuntime* runtime = fixture->model().runtimeFor(folder);
        if (runtime->managed()) {
            fixture->model().stopProject(folder);
            (void)QTest::qWaitFor([&] { return !runtime->managed(); }, 30000);
        }
        if (group > 0)
            ::killpg(group, SIGKILL);
        fixture.reset();
    }

    const WranglerInstall::Result* install = &WranglerInstall::shared();
    TempFolder sites;
    TempFolder home;
    QString folder;
    std::unique_ptr<GuiFixture> fixture;
    qint32 group = 0;
};

} // namespace

TEST_F(ExplorerWranglerRealTest, TheTabShowsTheRunningWorkersLocalExplorerAndReloadStartsClean)
{
    AppModel& model = fixture->model();
    ProjectRuntime* runtime = model.runtimeFor(folder);
    const bool dark = qEnvironmentVariable("TALLOWMERE_TEST_SCHEME") == QStringLiteral("dark");
    fixture->theme().setMode(dark ? AppearanceMode::dark : AppearanceMode::light);
    ExplorerTab tab(fixture->ui(), folder);
    tab.resize(1000, 700);
    tab.show();
    ASSERT_EQ(tab.content(), ExplorerTab::Content::notRunning);

    QTest::mouseClick(tab.findChild<QPushButton*>(QStringLiteral("explorerStartProject")),
                      Qt::LeftButton);
    WAIT_UNTIL(runtime->pid().has_value() || runtime->status().kind() == ProjectStatus::Kind::error,
               60000);
    ASSERT_TRUE(runtime->pid().has_value()) << runtime->status().message().toStdString();
    group = *runtime->pid();
    WAIT_UNTIL(runtime->status().kind() != ProjectStatus::Kind::starting, 120000);
    ASSERT_EQ(runtime->status(), ProjectStatus::running());
    ASSERT_TRUE(touchWorker(runtime->url()->port()));
    ASSERT_EQ(model.infoFor(folder)->wranglerVersion, QStringLiteral("4.86.0"));

    WAIT_UNTIL(tab.content() == ExplorerTab::Content::running, 5000);
    auto* view = qobject_cast<ExplorerWebView*>(tab.page());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->url().path(), QStringLiteral("/cdn-cgi/explorer"));
    WAIT_UNTIL(view->isLoaded(), 60000);
    // The page is the Explorer's own application, which lists the Worker's local data.
    EXPECT_EQ(view->title(), QStringLiteral("Cloudflare Local Explorer"));
    const auto pageText = [view] {
        return evaluate(view, QStringLiteral("document.body.innerText")).toString();
    };
    WAIT_UNTIL(pageText().contains(QStringLiteral("KV Namespaces\nNOTES")), 30000)
        << pageText().toStdString();
    EXPECT_TRUE(pageText().contains(QStringLiteral("D1 Databases\nDB")))
        << pageText().toStdString();

    if (const QString shots = qEnvironmentVariable("TALLOWMERE_TEST_SNAPSHOT"); !shots.isEmpty()) {
        QDir().mkpath(shots);
        QTest::qWait(1000); // the page's own transitions
        tab.grab().save(shots + (dark ? QStringLiteral("/dark") : QStringLiteral("/light")) +
                        QStringLiteral("-explorer-running.png"));
    }

    // What the page stores lives and dies with its view.
    evaluate(view, QStringLiteral("document.cookie = 'visited=1; max-age=3600';"
                                  "localStorage.setItem('visited', '1'); 0"));
    EXPECT_EQ(evaluate(view, QStringLiteral("localStorage.getItem('visited')")).toString(),
              QStringLiteral("1"));
    QTest::mouseClick(tab.findChild<QPushButton*>(QStringLiteral("explorerReload")),
                      Qt::LeftButton);
    auto* second = qobject_cast<ExplorerWebView*>(tab.page());
    ASSERT_NE(second, nullptr);
    WAIT_UNTIL(second->isLoaded(), 60000);
    EXPECT_EQ(evaluate(second, QStringLiteral("document.cookie")).toString(), QString());
    EXPECT_TRUE(evaluate(second, QStringLiteral("localStorage.getItem('visited')")).isNull());

    // Stopping the project takes the page, and the renderer ends.
    model.stopProject(folder);
    WAIT_UNTIL(runtime->status() == ProjectStatus::stopped(), 60000);
    EXPECT_EQ(tab.page(), nullptr);
    EXPECT_EQ(tab.content(), ExplorerTab::Content::notRunning);
    WAIT_UNTIL(!webEngineProcesses().contains(QStringLiteral("renderer")), 15000)
        << webEngineProcesses().join(u' ').toStdString();
}
