#include "runs/project_runtime.h"
#include "support/model_test_access.h"
#include "support/run_state_access.h"
#include "support/temp_folder.h"
#include "support/wait_until.h"
#include "ui/explorer/explorer_tab.h"
#include "ui/support/gui_fixture.h"
#include "ui/theme/theme.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

// The Explorer tab with a stand-in page, so that what it shows and when its page lives can be
// checked without a web engine (the real view has tests of its own).

namespace {

class FakePage : public ExplorerPage
{
public:
    FakePage(const QUrl& url, QWidget* parent) : ExplorerPage(parent), url_(url)
    {
        setObjectName(QStringLiteral("fakePage"));
    }
    QUrl url() const override { return url_; }
    void fail(const QString& message) { emit failed(message); }

private:
    QUrl url_;
};

// Hands out fake pages and remembers each, so that tests can tell which are still alive.
struct PageRecorder
{
    QList<QPointer<FakePage>> made;
    QString refusal; // when set, no page is made and this is the reason

    ExplorerPageFactory factory()
    {
        return [this](const QUrl& url, bool, QWidget* parent, QString* why) -> ExplorerPage* {
            if (!refusal.isEmpty()) {
                *why = refusal;
                return nullptr;
            }
            made.append(new FakePage(url, parent));
            return made.last();
        };
    }
    int alive() const
    {
        return int(
            std::count_if(made.begin(), made.end(), [](const auto& p) { return !p.isNull(); }));
    }
};

// With TALLOWMERE_TEST_SNAPSHOT=FOLDER, photographs the tab in both schemes as
// FOLDER/{light,dark}-NAME.png.
void snapshot(QWidget& tab, Theme& theme, const QString& name)
{
    const QString folder = qEnvironmentVariable("TALLOWMERE_TEST_SNAPSHOT");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    for (const AppearanceMode mode : {AppearanceMode::dark, AppearanceMode::light}) {
        theme.setMode(mode);
        // Standing alone, the tab shows the window background the main window would give it.
        QPalette palette = tab.palette();
        palette.setColor(QPalette::Window, theme.palette().windowBackground);
        tab.setPalette(palette);
        tab.setAutoFillBackground(true);
        const QString scheme =
            mode == AppearanceMode::dark ? QStringLiteral("dark") : QStringLiteral("light");
        tab.grab().save(folder + u'/' + scheme + u'-' + name + QStringLiteral(".png"));
    }
}

const QUrl serverAddress(QStringLiteral("http://localhost:8787/"));
const QUrl explorerPage(QStringLiteral("http://localhost:8787/cdn-cgi/explorer"));

class ExplorerTabTest : public ::testing::Test
{
protected:
    ExplorerTabTest()
        : path(QDir::homePath() + QStringLiteral("/Sites/tallowmere-explorer-test/api")),
          fixture(Registry{{}, {testProject(path, QStringLiteral("api"))}}),
          tab(fixture.ui(), path, nullptr, pages.factory())
    {
        tab.resize(900, 600);
        tab.show();
    }

    ProjectRuntime* runtime() { return fixture.model().runtimeFor(path); }
    void run(const QUrl& address = serverAddress)
    {
        RunStateTestAccess::setStatus(*runtime(), ProjectStatus::running());
        RunStateTestAccess::setUrl(*runtime(), address);
    }
    template <typename T> T* find(const char* name)
    {
        T* widget = tab.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QString text(const char* label) { return find<QLabel>(label)->text(); }
    bool shown(const char* name) { return find<QWidget>(name)->isVisible(); }

    QString path;
    PageRecorder pages;
    GuiFixture fixture;
    ExplorerTab tab;
};

} // namespace

TEST_F(ExplorerTabTest, ShowsWhyThereIsNoPageUntilTheProjectRunsThenWarnsWhenItsWranglerIsTooOld)
{
    EXPECT_EQ(tab.content(), ExplorerTab::Content::notRunning);
    snapshot(tab, fixture.theme(), QStringLiteral("explorer-not-running"));
    EXPECT_EQ(text("explorerNotRunningTitle"),
              QStringLiteral("Explorer is available while running"));
    EXPECT_EQ(text("explorerNotRunningText"),
              QStringLiteral("Start the project to browse its local D1, KV, R2, Durable Object and "
                             "Workflow data."));

    // "Start Project" goes to the model, which refuses: the folder holds no Wrangler.
    ASSERT_TRUE(shown("explorerStartProject"));
    QTest::mouseClick(find<QPushButton>("explorerStartProject"), Qt::LeftButton);
    WAIT_UNTIL(runtime()->status().kind() == ProjectStatus::Kind::error, 10000);
    EXPECT_EQ(runtime()->status().message(), QStringLiteral("Dependencies not installed"));
    EXPECT_TRUE(shown("explorerStartProject")) << "a failed start may be tried again";

    RunStateTestAccess::setStatus(*runtime(), ProjectStatus::starting());
    EXPECT_EQ(tab.content(), ExplorerTab::Content::notRunning);
    EXPECT_FALSE(shown("explorerStartProject"));
    RunStateTestAccess::setStatus(*runtime(), ProjectStatus::running());
    EXPECT_EQ(tab.content(), ExplorerTab::Content::notRunning) << "running, but no address yet";
    EXPECT_FALSE(shown("explorerStartProject"));
    EXPECT_EQ(pages.made.size(), 0);

    // Not inspected with versions yet: the page comes as soon as there is an address.
    RunStateTestAccess::setUrl(*runtime(), serverAddress);
    EXPECT_EQ(tab.content(), ExplorerTab::Content::running);
    EXPECT_EQ(text("explorerAddress"), explorerPage.toString());
    ASSERT_EQ(pages.alive(), 1);
    EXPECT_EQ(tab.page()->url(), explorerPage);

    ProjectInfo info;
    info.wranglerVersion = QStringLiteral("4.80.0");
    info.packageManager = PackageManager::yarn;
    fixture.model().showDemoContent(
        {fixture.model().roots(), fixture.model().projects(), {{path, info}}});
    WAIT_UNTIL(tab.content() == ExplorerTab::Content::tooOld, 5000);
    EXPECT_EQ(pages.alive(), 0) << "no page behind the warning";
    EXPECT_EQ(text("explorerTooOldTitle"), QStringLiteral("Local Explorer needs a newer wrangler"));
    EXPECT_EQ(text("explorerTooOldText"),
              QStringLiteral("This project has wrangler 4.80.0. Local Explorer requires 4.82.1 or "
                             "newer."));
    EXPECT_EQ(find<QLineEdit>("explorerInstallCommand")->text(),
              QStringLiteral("yarn add -D wrangler@latest"));
    EXPECT_EQ(text("explorerTooOldHint"),
              QStringLiteral("Run it in ~/Sites/tallowmere-explorer-test/api, then restart the "
                             "project."));
    snapshot(tab, fixture.theme(), QStringLiteral("explorer-too-old"));
    QGuiApplication::clipboard()->clear();
    QTest::mouseClick(find<QPushButton>("explorerCopyCommand"), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("yarn add -D wrangler@latest"));

    info.wranglerVersion = QStringLiteral("4.86.0");
    fixture.model().showDemoContent(
        {fixture.model().roots(), fixture.model().projects(), {{path, info}}});
    WAIT_UNTIL(tab.content() == ExplorerTab::Content::running, 5000);
    EXPECT_EQ(pages.alive(), 1);
}

TEST_F(ExplorerTabTest, ThePageLivesOnlyWhileTheTabShowsTheRunningProjectAndReloadReplacesIt)
{
    run();
    ASSERT_EQ(pages.alive(), 1);
    QPointer<FakePage> first = pages.made.last();

    QTest::mouseClick(find<QPushButton>("explorerReload"), Qt::LeftButton);
    EXPECT_EQ(tab.reloadToken(), 1);
    EXPECT_TRUE(first.isNull()) << "a new token discards the old page";
    ASSERT_EQ(pages.made.size(), 2);
    EXPECT_EQ(tab.page(), pages.made.last());

    QTest::mouseClick(find<QPushButton>("explorerOpenInBrowser"), Qt::LeftButton);
    EXPECT_EQ(fixture.desktop().workspace.openedAddresses(), QList<QUrl>{explorerPage});

    // Leaving the tab takes the page; coming back makes a new one.
    tab.hide();
    EXPECT_EQ(pages.alive(), 0);
    tab.show();
    EXPECT_EQ(pages.alive(), 1);
    EXPECT_EQ(pages.made.size(), 3);

    // A new address (a restart on another port) is a new page.
    RunStateTestAccess::setUrl(*runtime(), QUrl(QStringLiteral("http://127.0.0.1:8790")));
    EXPECT_EQ(pages.alive(), 1);
    EXPECT_EQ(tab.page()->url(), QUrl(QStringLiteral("http://127.0.0.1:8790/cdn-cgi/explorer")));

    // Stopping takes the page at once and falls back to the not-running content.
    RunStateTestAccess::setUrl(*runtime(), std::nullopt);
    RunStateTestAccess::setStatus(*runtime(), ProjectStatus::stopped());
    EXPECT_EQ(pages.alive(), 0);
    EXPECT_EQ(tab.content(), ExplorerTab::Content::notRunning);
    EXPECT_TRUE(shown("explorerStartProject"));
}

TEST_F(ExplorerTabTest, APageThatFailsGivesWayToItsMessageUntilReloadTriesAgain)
{
    run();
    ASSERT_EQ(pages.alive(), 1);
    pages.made.last()->fail(QStringLiteral("The Local Explorer did not load within 60 seconds."));
    WAIT_UNTIL(pages.alive() == 0, 5000);
    EXPECT_EQ(text("explorerMessage"),
              QStringLiteral("The Local Explorer did not load within 60 seconds."));
    EXPECT_TRUE(shown("explorerRetry"));

    // Other changes do not quietly retry.
    AppModelTestAccess::applyInfos(fixture.model(), {{path, ProjectInfo{}}});
    QTest::qWait(50);
    EXPECT_EQ(pages.made.size(), 1);

    QTest::mouseClick(find<QPushButton>("explorerRetry"), Qt::LeftButton);
    EXPECT_EQ(pages.alive(), 1);
    EXPECT_FALSE(shown("explorerRetry"));

    // An engine that can't start is one line; the browser still opens the page.
    pages.refusal = QStringLiteral("The web view can't start: QtWebEngineProcess is missing.");
    tab.reload();
    EXPECT_EQ(pages.alive(), 0);
    EXPECT_EQ(text("explorerMessage"), pages.refusal);
    QTest::mouseClick(find<QPushButton>("explorerOpenInBrowser"), Qt::LeftButton);
    EXPECT_EQ(fixture.desktop().workspace.openedAddresses(), QList<QUrl>{explorerPage});
}
