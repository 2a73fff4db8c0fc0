#include "support/wait_until.h"
#include "ui/detail/project_detail_view.h"
#include "ui/detail/project_header.h"
#include "ui/detail/tab_bar.h"
#include "ui/main_window.h"
#include "ui/support/gui_fixture.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QString api = QStringLiteral("/home/dev/Sites/api");
const QString blog = QStringLiteral("/home/dev/Sites/blog");

} // namespace

TEST(DetailTabs, AreBuiltOnFirstShowKeptForTheProjectAndDroppedForTheNext)
{
    Registry registry;
    registry.projects = {testProject(api, QStringLiteral("api")),
                         testProject(blog, QStringLiteral("blog"))};
    GuiFixture fixture(registry);
    fixture.model().select(api);
    MainWindow window(fixture.ui());
    window.show();
    QPointer<ProjectDetailView> view = window.detail();
    ASSERT_NE(view, nullptr);

    // Only the shown tab exists.
    QPointer<QWidget> overview = view->builtTab(DetailTab::overview);
    ASSERT_NE(overview, nullptr);
    EXPECT_EQ(view->currentTab(), overview);
    for (DetailTab tab : {DetailTab::logs, DetailTab::explorer, DetailTab::settings})
        EXPECT_EQ(view->builtTab(tab), nullptr) << qPrintable(rawValue(tab));

    QTest::mouseClick(view->tabBar()->item(DetailTab::logs), Qt::LeftButton);
    QPointer<QWidget> logs = view->builtTab(DetailTab::logs);
    ASSERT_NE(logs, nullptr);
    EXPECT_EQ(view->currentTab(), logs);
    EXPECT_TRUE(logs->isVisible());
    EXPECT_FALSE(overview->isVisible()); // hidden, so it gets its hideEvent

    // Back: the same widgets, nothing built again.
    fixture.model().setSelectedTab(DetailTab::overview);
    EXPECT_EQ(view->currentTab(), overview);
    EXPECT_EQ(view->builtTab(DetailTab::logs), logs);
    EXPECT_FALSE(logs->isVisible());
    EXPECT_EQ(view->builtTab(DetailTab::explorer), nullptr);

    // Another project: the view, header and tab bar stay; the tabs are built for it anew.
    ProjectHeader* header = view->header();
    fixture.model().select(blog);
    ASSERT_EQ(window.detail(), view);
    EXPECT_EQ(view->header(), header);
    EXPECT_EQ(view->projectID(), blog);
    EXPECT_EQ(header->projectID(), blog);
    header->refresh();
    EXPECT_EQ(header->findChild<QLabel*>(QStringLiteral("projectTitle"))->text(),
              QStringLiteral("blog"));
    QWidget* blogOverview = view->currentTab();
    ASSERT_NE(blogOverview, nullptr);
    EXPECT_NE(blogOverview, overview.data());
    EXPECT_EQ(view->builtTab(DetailTab::overview), blogOverview);
    EXPECT_EQ(view->builtTab(DetailTab::logs), nullptr);
    WAIT_UNTIL(overview.isNull() && logs.isNull(), 5000);
}

// Ctrl+1 to Ctrl+4 choose the tabs in their order from anywhere in the window; the tab items
// name their shortcut.
TEST(DetailTabs, CtrlAndANumberChooseTheTab)
{
    Registry registry;
    registry.projects = {testProject(api, QStringLiteral("api"))};
    GuiFixture fixture(registry);
    fixture.model().select(api);
    MainWindow window(fixture.ui());
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const QList<std::pair<Qt::Key, DetailTab>> keys = {{Qt::Key_2, DetailTab::logs},
                                                       {Qt::Key_3, DetailTab::explorer},
                                                       {Qt::Key_4, DetailTab::settings},
                                                       {Qt::Key_1, DetailTab::overview}};
    for (const auto& [key, tab] : keys) {
        QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : &window;
        QTest::keyClick(focus, key, Qt::ControlModifier);
        EXPECT_EQ(fixture.model().selectedTab(), tab) << qPrintable(rawValue(tab));
    }
    EXPECT_EQ(window.detail()->tabBar()->item(DetailTab::logs)->toolTip(), "Logs (Ctrl+2)");
}
