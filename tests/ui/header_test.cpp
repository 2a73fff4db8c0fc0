#include "discovery/kind_badge.h"
#include "discovery/project_info.h"
#include "runs/project_runtime.h"
#include "runs/server_activity.h"
#include "support/run_state_access.h"
#include "support/wait_until.h"
#include "ui/detail/memory_badge.h"
#include "ui/detail/overview/overview_tab.h"
#include "ui/detail/project_detail_view.h"
#include "ui/detail/project_header.h"
#include "ui/detail/tab_bar.h"
#include "ui/main_window.h"
#include "ui/sidebar/row_presentation.h"
#include "ui/sidebar/sidebar_list.h"
#include "ui/sidebar/sidebar_row.h"
#include "ui/sidebar/sidebar_view.h"
#include "ui/support/gui_fixture.h"
#include "ui/theme/status_display.h"
#include "ui/welcome/empty_state_view.h"
#include "ui/widgets/icon_view.h"
#include "ui/widgets/kind_icon.h"

#include <QLabel>
#include <QMenu>
#include <QPromise>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

constexpr quint64 mebibyte = 1048576;
const QString api = QStringLiteral("/home/dev/Sites/aurora/api");
const QString blog = QStringLiteral("/home/dev/Sites/blog");

Registry headerRegistry()
{
    Registry registry;
    registry.roots = {QStringLiteral("/home/dev/Sites")};
    registry.projects = {testProject(api, QStringLiteral("api"), registry.roots[0]),
                         testProject(blog, QStringLiteral("blog"), registry.roots[0])};
    return registry;
}

class HeaderTest : public ::testing::Test
{
protected:
    HeaderTest() : fixture(headerRegistry()), window(fixture.ui())
    {
        fixture.model().select(api);
        window.show();
    }

    ProjectHeader* header()
    {
        ProjectDetailView* detail = window.detail();
        EXPECT_NE(detail, nullptr);
        detail->header()->refresh();
        return detail->header();
    }
    QPushButton* button(const char* name)
    {
        return header()->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    // Shows `info` as the inspection record of api.
    void showInfo(const ProjectInfo& info)
    {
        AppModel& model = fixture.model();
        model.showDemoContent({model.roots(), model.projects(), {{api, info}}});
    }
    // The visible action buttons, by object name, left to right.
    QStringList visibleButtons()
    {
        QStringList names;
        for (const char* name :
             {"headerStart", "headerStop", "headerRestart", "headerAddress", "headerAdminLogin"})
            if (!button(name)->isHidden())
                names << QString::fromLatin1(name);
        return names;
    }
    ProjectRuntime* runtime() { return fixture.model().runtimeFor(api); }

    GuiFixture fixture;
    MainWindow window;
};

} // namespace

TEST(MemoryColours, SwitchAtExactly400And800MiB)
{
    const Palette dark = Palette::forScheme(Scheme::dark);
    const Palette light = Palette::forScheme(Scheme::light);
    EXPECT_EQ(memoryColor(400 * mebibyte - 1, dark), QColor(QStringLiteral("#10B981")));
    EXPECT_EQ(memoryColor(400 * mebibyte, dark), QColor(QStringLiteral("#F59E0B")));
    EXPECT_EQ(memoryColor(800 * mebibyte - 1, dark), QColor(QStringLiteral("#F59E0B")));
    EXPECT_EQ(memoryColor(800 * mebibyte, dark), QColor(QStringLiteral("#FF6B6B")));
    EXPECT_EQ(memoryColor(800 * mebibyte, light), QColor(QStringLiteral("#B00020")));
    EXPECT_EQ(memoryColor(0, light), QColor(QStringLiteral("#10B981")));
}

TEST_F(HeaderTest, MemoryAndProcessorShareShowWhileActive)
{
    auto* badge = header()->findChild<MemoryBadge*>(QStringLiteral("memoryBadge"));
    ASSERT_NE(badge, nullptr);
    RunStateTestAccess::setMemoryBytes(*runtime(), 500 * mebibyte);
    header();
    EXPECT_TRUE(badge->isHidden()); // stopped: no badge even with a figure

    RunStateTestAccess::setStatus(*runtime(), ProjectStatus::running());
    RunStateTestAccess::setMemoryBytes(*runtime(), 400 * mebibyte);
    header();
    EXPECT_FALSE(badge->isHidden());
    EXPECT_EQ(badge->targetColor(), QColor(QStringLiteral("#F59E0B")));
    EXPECT_EQ(badge->text(), QStringLiteral("400.0 MB"));
    EXPECT_EQ(badge->toolTip(), QStringLiteral("Memory used by this project, including workerd"));

    RunStateTestAccess::setMemoryBytes(*runtime(), 800 * mebibyte);
    header();
    EXPECT_EQ(badge->targetColor(), QColor(QStringLiteral("#B00020"))); // light appearance

    RunStateTestAccess::setMemoryBytes(*runtime(), std::nullopt);
    header();
    EXPECT_TRUE(badge->isHidden());

    // The processor share beside it: once two samples are in, redrawn as it changes, gone
    // with the server.
    auto* cpu = header()->findChild<QLabel*>(QStringLiteral("headerCpu"));
    ASSERT_NE(cpu, nullptr);
    EXPECT_TRUE(cpu->isHidden());
    const quint64 ticksPerSecond = quint64(::sysconf(_SC_CLK_TCK));
    runtime()->activity()->cpuSampled(1000, 5000);
    runtime()->activity()->cpuSampled(1000 + ticksPerSecond / 4, 6000);
    WAIT_UNTIL(!cpu->isHidden(), 5000);
    EXPECT_EQ(cpu->text(), QStringLiteral("CPU 25.0%"));
    runtime()->activity()->cpuSampled(1000 + ticksPerSecond * 3, 7000);
    WAIT_UNTIL(cpu->text() == QStringLiteral("CPU 275.0%"), 5000);
    RunStateTestAccess::setStatus(*runtime(), ProjectStatus::stopped());
    header();
    EXPECT_TRUE(cpu->isHidden());
}

TEST_F(HeaderTest, ActionButtonsFollowTheStatus)
{
    EXPECT_EQ(visibleButtons(), QStringList{QStringLiteral("headerStart")});
    EXPECT_EQ(button("headerStart")->toolTip(), QStringLiteral("Start (Ctrl+↩)"));
    auto* chip = header()->findChild<QLabel*>(QStringLiteral("statusChipLabel"));
    EXPECT_EQ(chip->text(), QStringLiteral("Stopped"));

    RunStateTestAccess::setStatus(*runtime(), ProjectStatus::starting());
    EXPECT_EQ(visibleButtons(),
              (QStringList{QStringLiteral("headerStop"), QStringLiteral("headerRestart")}));
    EXPECT_EQ(chip->text(), QStringLiteral("Starting"));

    RunStateTestAccess::setStatus(*runtime(), ProjectStatus::running());
    RunStateTestAccess::setUrl(*runtime(), QUrl(QStringLiteral("http://localhost:8787/")));
    EXPECT_EQ(visibleButtons(),
              (QStringList{QStringLiteral("headerStop"), QStringLiteral("headerRestart"),
                           QStringLiteral("headerAddress")}));
    EXPECT_EQ(button("headerAddress")->text(), QStringLiteral("localhost:8787"));
    EXPECT_EQ(button("headerStop")->toolTip(), QStringLiteral("Stop (Ctrl+.)"));
    EXPECT_EQ(button("headerRestart")->toolTip(), QStringLiteral("Restart (Ctrl+R)"));
    EXPECT_EQ(chip->text(), QStringLiteral("Running"));

    // A server the application did not start can only be restarted from here.
    RunStateTestAccess::setExternal(*runtime(), true);
    EXPECT_EQ(button("headerRestart")->toolTip(),
              QStringLiteral("Restart from Tallowmere so its logs are available (Ctrl+R)"));

    button("headerAddress")->click();
    EXPECT_EQ(fixture.desktop().workspace.openedAddresses(),
              QList<QUrl>{QUrl(QStringLiteral("http://localhost:8787/"))});

    RunStateTestAccess::setExternal(*runtime(), false);
    RunStateTestAccess::setUrl(*runtime(), std::nullopt);
    RunStateTestAccess::setStatus(*runtime(),
                                  ProjectStatus::error(QStringLiteral("Exited with code 1")));
    EXPECT_EQ(visibleButtons(), QStringList{QStringLiteral("headerStart")});
    EXPECT_EQ(chip->text(), QStringLiteral("Error"));
}

TEST_F(HeaderTest, StartHelpAsksForDependenciesWhenInspectionFoundNone)
{
    ProjectInfo info;
    info.detectedMode = RunModeKind::wrangler;
    info.depsInstalled = false;
    showInfo(info);
    EXPECT_EQ(button("headerStart")->toolTip(), QStringLiteral("Install dependencies first"));
    EXPECT_TRUE(button("headerStart")->isEnabled()); // the model refuses, the button does not

    info.depsInstalled = true;
    showInfo(info);
    EXPECT_EQ(button("headerStart")->toolTip(), QStringLiteral("Start (Ctrl+↩)"));
}

TEST_F(HeaderTest, AdminLoginOpensTheContentSystemsPageOnlyWithAnAddress)
{
    EXPECT_TRUE(button("headerAdminLogin")->isHidden());
    ProjectInfo info;
    info.cms = QStringLiteral("EmDash");
    showInfo(info);
    QPushButton* admin = button("headerAdminLogin");
    EXPECT_FALSE(admin->isHidden());
    EXPECT_EQ(admin->toolTip(), QStringLiteral("Open /_emdash/admin"));
    admin->click(); // no address yet: nothing happens
    EXPECT_TRUE(fixture.desktop().workspace.openedAddresses().isEmpty());

    RunStateTestAccess::setStatus(*runtime(), ProjectStatus::running());
    RunStateTestAccess::setUrl(*runtime(), QUrl(QStringLiteral("http://localhost:4321/")));
    header();
    admin->click();
    EXPECT_EQ(fixture.desktop().workspace.openedAddresses(),
              QList<QUrl>{QUrl(QStringLiteral("http://localhost:4321/_emdash/admin"))});
}

TEST_F(HeaderTest, MoreMenuOffersExplorerOnlyWhileRunning)
{
    const auto texts = [this] {
        header()->refreshMoreMenu();
        QStringList result;
        for (QAction* action : header()->moreMenu()->actions())
            result << (action->isSeparator() ? QStringLiteral("--") : action->text());
        return result;
    };
    const QStringList stopped = texts();
    ASSERT_EQ(stopped.size(), 3);
    EXPECT_EQ(stopped[0], QStringLiteral("Reveal in File Manager"));
    EXPECT_TRUE(stopped[1].startsWith(QStringLiteral("Open in ")));
    EXPECT_TRUE(stopped[2].startsWith(QStringLiteral("Open in ")));

    RunStateTestAccess::setStatus(*runtime(), ProjectStatus::running());
    RunStateTestAccess::setUrl(*runtime(), QUrl(QStringLiteral("http://localhost:8787")));
    const QStringList running = texts();
    ASSERT_EQ(running.size(), 5);
    EXPECT_EQ(running[0], QStringLiteral("Open Explorer in browser"));
    EXPECT_EQ(running[1], QStringLiteral("--"));
    header()->moreMenu()->actions()[0]->trigger();
    EXPECT_EQ(fixture.desktop().workspace.openedAddresses(),
              QList<QUrl>{QUrl(QStringLiteral("http://localhost:8787/cdn-cgi/explorer"))});

    // A custom editor command is named "Editor".
    AppSettings settings = fixture.model().settings();
    settings.editorCommand = QStringLiteral("myeditor --wait");
    fixture.model().setSettings(settings);
    EXPECT_EQ(texts()[3], QStringLiteral("Open in Editor"));
}

TEST_F(HeaderTest, TabBarSetsTheModelsTabAndTheDetailFollowsTheSelection)
{
    ProjectDetailView* detail = window.detail();
    ASSERT_NE(detail, nullptr);
    EXPECT_EQ(detail->projectID(), api);
    TabItem* logs = detail->tabBar()->item(DetailTab::logs);
    QTest::mouseClick(logs, Qt::LeftButton);
    EXPECT_EQ(fixture.model().selectedTab(), DetailTab::logs);
    EXPECT_EQ(detail->currentTab()->objectName(), QStringLiteral("logsTab"));
    EXPECT_EQ(detail->tabBar()->selected(), DetailTab::logs);

    // Another project: the same detail view, same tab (the tab is the model's, for every
    // project).
    fixture.model().select(blog);
    ASSERT_EQ(window.detail(), detail);
    EXPECT_EQ(window.detail()->projectID(), blog);
    EXPECT_EQ(window.detail()->currentTab()->objectName(), QStringLiteral("logsTab"));

    // Nothing selected: the welcome screen.
    fixture.model().select(std::nullopt);
    EXPECT_EQ(window.detail(), nullptr);
    EXPECT_TRUE(window.welcome()->isVisible());
}

TEST_F(HeaderTest, WelcomeScreenRunsTheChoosersAndNamesItsPromises)
{
    fixture.model().select(std::nullopt);
    EmptyStateView* welcome = window.welcome();
    QStringList notes;
    for (QLabel* label : welcome->findChildren<QLabel*>(QStringLiteral("welcomeNote")))
        notes << label->text();
    EXPECT_EQ(notes,
              (QStringList{QStringLiteral("Reads your project folders to find wrangler configs."),
                           QStringLiteral("Never changes your files, and never installs anything."),
                           QStringLiteral("Everything stays on your computer.")}));
    TempFolder folder;
    fixture.queueFolder(folder.path());
    welcome->findChild<QPushButton*>(QStringLiteral("welcomeAddRoot"))->click();
    EXPECT_EQ(fixture.chooserRequests().last(),
              qMakePair(QStringLiteral("Add Folder"),
                        QStringLiteral("Choose a folder to scan for Wrangler projects")));
    EXPECT_TRUE(fixture.model().roots().contains(folder.path()));
}

TEST(RowSubtitle, PrefersTheAddressThenTheStateThenTheFramework)
{
    const QString astro = QStringLiteral("Astro");
    const auto url = std::optional<QUrl>(QUrl(QStringLiteral("http://localhost:8787")));
    EXPECT_EQ(rowSubtitle(ProjectStatus::running(), url, astro), QStringLiteral("localhost:8787"));
    // Running without a port in the address falls through to the framework.
    EXPECT_EQ(
        rowSubtitle(ProjectStatus::running(), QUrl(QStringLiteral("http://localhost")), astro),
        astro);
    EXPECT_EQ(rowSubtitle(ProjectStatus::starting(), url, astro), QStringLiteral("Starting…"));
    EXPECT_EQ(rowSubtitle(ProjectStatus::error(QStringLiteral("x")), std::nullopt, astro),
              QStringLiteral("Failed to start"));
    EXPECT_EQ(rowSubtitle(ProjectStatus::stopped(), url, astro), astro);
    // The environment follows whatever comes first.
    EXPECT_EQ(rowSubtitle(ProjectStatus::running(), url, astro, QStringLiteral("staging")),
              QStringLiteral("localhost:8787 · staging"));
    EXPECT_EQ(rowSubtitle(ProjectStatus::stopped(), url, QString(), QStringLiteral("staging")),
              QStringLiteral("staging"));
}

TEST(AddressLabel, UsesHostAndPortWithPort80AsDefault)
{
    EXPECT_EQ(addressLabel(QUrl(QStringLiteral("http://localhost:8787/"))),
              QStringLiteral("localhost:8787"));
    EXPECT_EQ(addressLabel(QUrl(QStringLiteral("http://127.0.0.1/"))),
              QStringLiteral("127.0.0.1:80"));
    EXPECT_EQ(addressLabel(QUrl(QStringLiteral("file:///tmp/x"))), QStringLiteral("file:///tmp/x"));
}

TEST(DetailTasks, MeasureMemoryForTheShownProjectOnlyAndOneMeasurementAtATime)
{
    GuiFixture fixture(headerRegistry());
    QStringList measured;
    QList<std::shared_ptr<QPromise<void>>> pending;
    fixture.ui().refreshUsage = [&](const QString& path) {
        measured << path;
        auto promise = std::make_shared<QPromise<void>>();
        promise->start();
        pending << promise;
        return promise->future();
    };
    fixture.model().select(api);
    MainWindow window(fixture.ui());
    window.show();
    EXPECT_EQ(measured, QStringList{api}); // at once
    QTimer* timer = window.detail()->findChild<QTimer*>();
    ASSERT_NE(timer, nullptr);
    EXPECT_FALSE(timer->isActive()) << "nothing is scheduled while a measurement is under way";

    // Another project: measured at once; the old project's late answer schedules nothing.
    fixture.model().select(blog);
    EXPECT_EQ(measured, (QStringList{api, blog}));
    pending.takeFirst()->finish();
    QTest::qWait(20);
    EXPECT_FALSE(timer->isActive());

    // The new project's answer schedules the next measurement, 3 s later.
    pending.takeFirst()->finish();
    WAIT_UNTIL(timer->isActive(), 5000);
    EXPECT_EQ(timer->interval(), ProjectDetailView::usageInterval);
    timer->start(1); // fire it without waiting three seconds
    WAIT_UNTIL(measured.size() >= 3, 5000);
    EXPECT_EQ(measured.last(), blog);
    EXPECT_FALSE(timer->isActive());

    // Off the screen (hidden into the tray) nothing is measured or scheduled, and
    // an answer arriving then schedules nothing; back on the screen, a measurement at once.
    pending.takeFirst()->finish();
    WAIT_UNTIL(timer->isActive(), 5000);
    window.hide();
    EXPECT_FALSE(timer->isActive());
    window.show();
    EXPECT_EQ(measured.size(), 4);
    window.hide();
    pending.takeFirst()->finish();
    QTest::qWait(50);
    EXPECT_FALSE(timer->isActive());
    window.show();
    WAIT_UNTIL(measured.size() == 5, 5000);
    EXPECT_EQ(measured.last(), blog);

    // Minimised: the poll stops; restored: a measurement at once.
    pending.takeFirst()->finish();
    WAIT_UNTIL(timer->isActive(), 5000);
    window.showMinimized();
    EXPECT_FALSE(timer->isActive());
    window.showNormal();
    EXPECT_EQ(measured.size(), 6);
}

// How many pixels of the image are within a small distance of `color`.
static int pixelsNear(const QImage& image, const QColor& color)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (qAbs(c.red() - color.red()) + qAbs(c.green() - color.green()) +
                    qAbs(c.blue() - color.blue()) <
                40)
                ++count;
        }
    return count;
}

TEST_F(HeaderTest, RowsHeadersAndDetailsShowTheFirstLogoOfTheProjectInTheSchemesColour)
{
    // Every badge with a logo named by the badge table is vendored under that name; EmDash has
    // none in the icon set, so its badge keeps its line icon.
    for (const QString framework : {"Astro", "Nuxt", "Next.js", "SvelteKit", "Remix",
                                    "React Router", "VitePress", "Docusaurus", "Gatsby"})
        EXPECT_EQ(badgeIcon(*frameworkBadge(framework)).brand, frameworkBadge(framework)->brand)
            << framework.toStdString();
    EXPECT_EQ(badgeIcon(pagesBadge()).brand, QStringLiteral("cloudflare-pages"));
    EXPECT_EQ(badgeIcon(contentSystemBadge()), (KindIcon{{}, QStringLiteral("minus")}));

    SidebarList* list = window.sidebar()->list();
    const auto rowIcon = [list] {
        list->rebuildNow();
        return list->rowFor(api)->content().kindIcon;
    };
    // Not inspected yet: a plain Worker.
    EXPECT_EQ(rowIcon(), (KindIcon{QStringLiteral("cloudflare-workers"), {}}));

    // An EmDash site on Astro: the content system comes first but has no logo, so the
    // framework's stands for the project everywhere, and the header names both.
    ProjectInfo info;
    info.cms = QStringLiteral("EmDash");
    info.framework = QStringLiteral("Astro");
    showInfo(info);
    const KindIcon astro{QStringLiteral("astro"), {}};
    EXPECT_EQ(rowIcon(), astro);
    auto* headerIcon = header()->findChild<IconView*>(QStringLiteral("headerKindIcon"));
    ASSERT_NE(headerIcon, nullptr);
    EXPECT_EQ(headerIcon->kindIcon(), astro);
    EXPECT_EQ(headerIcon->toolTip(), QStringLiteral("EmDash · Astro"));
    OverviewTab* overview = window.findChild<OverviewTab*>();
    ASSERT_NE(overview, nullptr);
    overview->refresh();
    auto* detailsIcon = overview->findChild<IconView*>(QStringLiteral("detailIcon:Built with"));
    ASSERT_NE(detailsIcon, nullptr);
    EXPECT_EQ(detailsIcon->kindIcon(), astro);
    EXPECT_EQ(overview->findChild<QLabel*>(QStringLiteral("detailValue:Built with"))->text(),
              QStringLiteral("EmDash · Astro"));

    // The logo is painted in the selected row's text colour, and follows the scheme.
    SidebarRow* row = list->rowFor(api);
    const QRect iconFrame(16, (row->height() - 16) / 2, 16, 16);
    for (const AppearanceMode mode : {AppearanceMode::light, AppearanceMode::dark}) {
        fixture.theme().setMode(mode);
        const QImage drawn = row->grab().toImage().copy(iconFrame);
        EXPECT_GT(pixelsNear(drawn, fixture.theme().palette().primaryText), 20)
            << (mode == AppearanceMode::dark ? "dark" : "light");
    }

    // A framework without a logo of its own: the line icon of its badge.
    info.cms.reset();
    info.framework = QStringLiteral("Qwik");
    showInfo(info);
    EXPECT_EQ(rowIcon(), (KindIcon{{}, QStringLiteral("layout-dashboard")}));
}
