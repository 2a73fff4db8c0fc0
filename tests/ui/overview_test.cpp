#include "discovery/dev_registry_watcher.h"
#include "presentation/binding_items.h"
#include "runs/project_runtime.h"
#include "support/model_test_access.h"
#include "support/qt_gtest_printers.h"
#include "support/run_state_access.h"
#include "support/temp_folder.h"
#include "support/wait_until.h"
#include "ui/detail/overview/binding_diagram.h"
#include "ui/detail/overview/binding_list_view.h"
#include "ui/detail/overview/bindings_layout.h"
#include "ui/detail/overview/bindings_section.h"
#include "ui/detail/overview/overview_tab.h"
#include "ui/detail/overview/traffic_card.h"
#include "ui/detail/project_detail_view.h"
#include "ui/detail/project_header.h"
#include "ui/main_window.h"
#include "ui/support/gui_fixture.h"
#include "ui/theme/theme.h"
#include "ui/widgets/buttons.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

namespace {

const QByteArray wranglerInstalled = R"({"name": "wrangler", "version": "4.86.0"})";

// Real project folders under one root: a worker with bindings and a service on a local worker,
// that local worker, a configuration that does not parse, and a dev-script project without
// bindings.
struct Folders
{
    TempFolder temp;
    QString root = temp.filePath(QStringLiteral("Sites"));
    QString gateway = root + QStringLiteral("/gateway");
    QString auth = root + QStringLiteral("/auth");
    QString broken = root + QStringLiteral("/broken");
    QString plain = root + QStringLiteral("/plain");

    Folders()
    {
        temp.write(QStringLiteral("Sites/gateway/wrangler.jsonc"), R"({
            "name": "gateway", "main": "src/index.ts", "compatibility_date": "2025-01-01",
            "d1_databases": [{"binding": "DB", "database_name": "main-db"}],
            "queues": {"producers": [{"binding": "JOBS", "queue": "jobs"}]},
            "services": [{"binding": "AUTH", "service": "auth-worker"}],
            "vars": {"A": "1", "B": "2"}
        })");
        temp.write(QStringLiteral("Sites/gateway/package.json"), R"({"name": "gateway"})");
        temp.write(QStringLiteral("Sites/gateway/node_modules/wrangler/package.json"),
                   wranglerInstalled);
        temp.write(QStringLiteral("Sites/auth/wrangler.jsonc"), R"({"name": "auth-worker"})");
        temp.write(QStringLiteral("Sites/auth/node_modules/wrangler/package.json"),
                   wranglerInstalled);
        temp.write(QStringLiteral("Sites/broken/wrangler.jsonc"), "{ \"name\": ");
        temp.write(QStringLiteral("Sites/plain/wrangler.jsonc"), R"({"name": "plain"})");
        temp.write(QStringLiteral("Sites/plain/package.json"),
                   R"({"name": "plain", "scripts": {"dev": "true"}})");
        temp.makeDir(QStringLiteral("Sites/plain/node_modules"));
    }

    Registry registry() const
    {
        Registry registry;
        registry.roots = {root};
        Project plainProject = testProject(plain, QStringLiteral("plain"), root);
        plainProject.runModeOverride = RunModeKind::devScript;
        registry.projects = {testProject(gateway, QStringLiteral("gateway"), root),
                             testProject(auth, QStringLiteral("auth"), root),
                             testProject(broken, QStringLiteral("broken"), root), plainProject};
        return registry;
    }
};

// The layout preference lives in a file of the test's own.
struct PreferencesInTemp
{
    explicit PreferencesInTemp(const TempFolder& temp)
    {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           temp.filePath(QStringLiteral("config")));
    }
};

class OverviewTest : public ::testing::Test
{
protected:
    OverviewTest() : preferences(folders.temp), fixture(folders.registry()), window(fixture.ui())
    {
        window.show();
    }

    // Selects the project and returns its Overview once the inspection has been applied.
    OverviewTab* overview(const QString& path)
    {
        fixture.model().select(path);
        EXPECT_TRUE(QTest::qWaitFor([&] { return fixture.model().infoFor(path) != nullptr; }));
        fixture.model().setSelectedTab(DetailTab::overview);
        auto* tab = qobject_cast<OverviewTab*>(window.detail()->builtTab(DetailTab::overview));
        EXPECT_NE(tab, nullptr);
        if (tab) {
            EXPECT_EQ(tab->projectID(), path);
            tab->refresh();
        }
        return tab;
    }
    template <typename T> T* find(QWidget* in, const QString& name)
    {
        return in->findChild<T*>(name);
    }
    bool shown(QWidget* in, const QString& name)
    {
        QWidget* widget = in->findChild<QWidget*>(name);
        return widget && widget->isVisibleTo(in);
    }
    QString clipboard() const { return QGuiApplication::clipboard()->text(); }
    ProjectRuntime* runtime(const QString& path) { return fixture.model().runtimeFor(path); }

    Folders folders;
    PreferencesInTemp preferences;
    GuiFixture fixture;
    MainWindow window;
};

QStringList actionTexts(QMenu* menu)
{
    QStringList texts;
    for (QAction* action : menu->actions())
        if (!action->isSeparator())
            texts.append(action->text());
    return texts;
}

QAction* action(QMenu* menu, const QString& text)
{
    for (QAction* action : menu->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

// The menu of the list row of an item, filled as when it opens.
QMenu* rowMenu(QWidget* tab, const QString& itemID)
{
    for (QWidget* row : tab->findChildren<QWidget*>(QStringLiteral("bindingRow")))
        if (row->property("itemID").toString() == itemID) {
            QMenu* menu = row->findChild<IconButton*>(QStringLiteral("bindingActions"))->menu();
            emit menu->aboutToShow();
            return menu;
        }
    return nullptr;
}

} // namespace

TEST_F(OverviewTest, ProblemLinesAndDependenciesBannerFollowTheProjectState)
{
    OverviewTab* tab = overview(folders.broken);
    ASSERT_TRUE(tab);
    EXPECT_TRUE(shown(tab, QStringLiteral("parseErrorLine")));
    EXPECT_FALSE(find<QLabel>(tab, QStringLiteral("parseErrorLineText"))->text().isEmpty());
    ASSERT_TRUE(shown(tab, QStringLiteral("dependenciesBanner")));
    EXPECT_EQ(find<QLabel>(tab, QStringLiteral("installCommand"))->text(),
              QStringLiteral("npm install"));
    EXPECT_EQ(find<QLabel>(tab, QStringLiteral("installFolder"))->text(),
              QStringLiteral("in ") + folders.broken + QStringLiteral(", then start the project."));
    EXPECT_FALSE(shown(tab, QStringLiteral("errorLine")));
    EXPECT_FALSE(shown(tab, QStringLiteral("portConflictBanner")));

    find<QPushButton>(tab, QStringLiteral("copyInstallCommand"))->click();
    EXPECT_EQ(clipboard(), QStringLiteral("npm install"));

    EXPECT_EQ(find<QPushButton>(tab, QStringLiteral("openInstallTerminal"))->text(),
              QStringLiteral("Open in Terminal"));
    AppModelTestAccess::setInstalledApps(
        fixture.model(),
        {ExternalApp{QStringLiteral("kitty"), QStringLiteral("kitty"),
                     QStringLiteral("/usr/bin/kitty")}},
        {});
    tab->refresh();
    QPushButton* terminal = find<QPushButton>(tab, QStringLiteral("openInstallTerminal"));
    EXPECT_EQ(terminal->text(), QStringLiteral("Open in kitty"));
    terminal->click();
    ASSERT_EQ(fixture.desktop().workspace.launches().size(), 1);
    const LaunchRequest launch = fixture.desktop().workspace.launches().first();
    EXPECT_EQ(launch.program, QStringLiteral("/usr/bin/kitty"));
    EXPECT_TRUE(launch.arguments.contains(folders.broken) ||
                launch.workingFolder == folders.broken);

    // The refusal of a start already shows as the banner: no second line for it.
    fixture.setStatus(folders.broken,
                      ProjectStatus::error(QStringLiteral("Dependencies not installed")));
    tab->refresh();
    EXPECT_FALSE(shown(tab, QStringLiteral("errorLine")));
    fixture.setStatus(folders.broken, ProjectStatus::error(QStringLiteral("Exited with code 1")));
    tab->refresh();
    ASSERT_TRUE(shown(tab, QStringLiteral("errorLine")));
    EXPECT_EQ(find<QLabel>(tab, QStringLiteral("errorLineText"))->text(),
              QStringLiteral("Exited with code 1"));
}

TEST_F(OverviewTest, PortConflictBannerShowsTheOwnerOrStartsOnAFreePort)
{
    OverviewTab* tab = overview(folders.plain);
    ASSERT_TRUE(tab);
    EXPECT_FALSE(shown(tab, QStringLiteral("dependenciesBanner")));
    RunStateTestAccess::setPortConflict(*runtime(folders.plain),
                                        PortConflict{8787, folders.auth, QStringLiteral("auth")});
    tab->refresh();
    ASSERT_TRUE(shown(tab, QStringLiteral("portConflictBanner")));
    EXPECT_EQ(find<QLabel>(tab, QStringLiteral("portConflictExplanation"))->text(),
              QStringLiteral("auth is using it. Stop it, or start this project on a different "
                             "port."));
    QPushButton* show = find<QPushButton>(tab, QStringLiteral("showConflictOwner"));
    ASSERT_TRUE(show);
    EXPECT_EQ(show->text(), QStringLiteral("Show auth"));
    show->click();
    QTRY_COMPARE_WITH_TIMEOUT(fixture.model().selection().value_or(QString()), folders.auth, 5000);

    tab = overview(folders.plain);
    RunStateTestAccess::setPortConflict(*runtime(folders.plain),
                                        PortConflict{8787, std::nullopt, std::nullopt});
    tab->refresh();
    EXPECT_EQ(find<QLabel>(tab, QStringLiteral("portConflictExplanation"))->text(),
              QStringLiteral("Another program is using it. Close it, or start this project on a "
                             "different port."));
    EXPECT_FALSE(find<QPushButton>(tab, QStringLiteral("showConflictOwner")));
    find<QPushButton>(tab, QStringLiteral("startOnFreePort"))->click();
    // The start is accepted with a port other than the taken one.
    LogBuffer* log = runtime(folders.plain)->log();
    QTRY_VERIFY_WITH_TIMEOUT(!log->lines().isEmpty(), 10000);
    const QString started = log->lines().first().text;
    EXPECT_TRUE(started.startsWith(QStringLiteral("▶ npm run dev -- --port ")))
        << started.toStdString();
    EXPECT_FALSE(started.endsWith(QStringLiteral(" 8787")));
    fixture.model().stopProject(folders.plain);
}

TEST_F(OverviewTest, DetailRowsCopyTheirValues)
{
    OverviewTab* tab = overview(folders.gateway);
    ASSERT_TRUE(tab);
    QStringList labels;
    for (QLabel* label : tab->findChildren<QLabel*>(QStringLiteral("detailLabel")))
        labels.append(label->text());
    EXPECT_EQ(labels, (QStringList{QStringLiteral("Path"), QStringLiteral("Config"),
                                   QStringLiteral("Entry"), QStringLiteral("Compatibility date"),
                                   QStringLiteral("Start command"), QStringLiteral("Wrangler"),
                                   QStringLiteral("Package manager")}));
    EXPECT_EQ(find<QLabel>(tab, QStringLiteral("detailValue:Wrangler"))->text(),
              QStringLiteral("4.86.0"));

    auto* copy = find<IconButton>(tab, QStringLiteral("detailCopy:Compatibility date"));
    EXPECT_EQ(copy->toolTip(), QStringLiteral("Copy compatibility date"));
    copy->click();
    EXPECT_EQ(clipboard(), QStringLiteral("2025-01-01"));
    EXPECT_EQ(copy->iconName(), QStringLiteral("check"));
    QTRY_COMPARE_WITH_TIMEOUT(copy->iconName(), QStringLiteral("copy"), 5000);

    // Every text follows a change of scheme, also those inside the restyled card.
    fixture.theme().setMode(AppearanceMode::dark);
    const QColor light = Palette::forScheme(Scheme::dark).primaryText;
    for (const char* name : {"detailsTitle", "detailValue:Entry"})
        EXPECT_EQ(
            find<QLabel>(tab, QString::fromLatin1(name))->palette().color(QPalette::WindowText),
            light)
            << name;

    RunStateTestAccess::setExternal(*runtime(folders.gateway), true);
    tab->refresh();
    EXPECT_EQ(find<QLabel>(tab, QStringLiteral("detailValue:Started by"))->text(),
              QStringLiteral("outside Tallowmere"))
        << "found outside, never attached";
}

TEST_F(OverviewTest, BindingsListMenusAndTheStoredLayout)
{
    OverviewTab* tab = overview(folders.gateway);
    ASSERT_TRUE(tab);
    BindingsSection* section = tab->bindings();
    EXPECT_EQ(find<QLabel>(tab, QStringLiteral("bindingsCount"))->text(), QStringLiteral("4"));
    EXPECT_EQ(section->bindingsLayout(), BindingsLayout::diagram);
    EXPECT_TRUE(section->diagram()->isVisibleTo(tab));
    EXPECT_FALSE(shown(tab, QStringLiteral("bindingsEmpty")));

    find<QPushButton>(tab, QStringLiteral("layoutList"))->click();
    EXPECT_FALSE(section->diagram()->isVisibleTo(tab));
    EXPECT_TRUE(section->list()->isVisibleTo(tab));

    QMenu* db = rowMenu(tab, QStringLiteral("d1:DB:main-db"));
    ASSERT_TRUE(db);
    EXPECT_EQ(actionTexts(db), (QStringList{QStringLiteral("Copy binding name"),
                                            QStringLiteral("Copy resource name"),
                                            QStringLiteral("Show in Explorer")}));
    action(db, QStringLiteral("Copy resource name"))->trigger();
    EXPECT_EQ(clipboard(), QStringLiteral("main-db"));
    EXPECT_EQ(
        actionTexts(rowMenu(tab, QStringLiteral("queue:JOBS:jobs"))),
        (QStringList{QStringLiteral("Copy binding name"), QStringLiteral("Copy resource name")}));
    EXPECT_EQ(actionTexts(rowMenu(tab, QStringLiteral("vars"))),
              QStringList{QStringLiteral("Copy variable names")});

    // The service names the worker of the registered project "auth" (shown under its worker
    // name once inspected): that project's status and actions.
    QMenu* service = rowMenu(tab, QStringLiteral("service:AUTH:auth-worker"));
    EXPECT_EQ(
        actionTexts(service),
        (QStringList{QStringLiteral("Copy binding name"), QStringLiteral("Copy resource name"),
                     QStringLiteral("Show auth-worker"), QStringLiteral("Start auth-worker")}));
    QWidget* dot = find<QWidget>(tab, QStringLiteral("localServiceDot"));
    ASSERT_TRUE(dot);
    EXPECT_EQ(dot->accessibleName(), QStringLiteral("Stopped"));
    fixture.setStatus(folders.auth, ProjectStatus::running());
    QTRY_COMPARE_WITH_TIMEOUT(dot->accessibleName(), QStringLiteral("Running"), 5000);
    EXPECT_FALSE(action(rowMenu(tab, QStringLiteral("service:AUTH:auth-worker")),
                        QStringLiteral("Start auth-worker")));

    action(rowMenu(tab, QStringLiteral("d1:DB:main-db")), QStringLiteral("Show in Explorer"))
        ->trigger();
    EXPECT_EQ(fixture.model().selectedTab(), DetailTab::explorer);
    EXPECT_NE(window.detail()->currentTab(), tab);
    EXPECT_FALSE(tab->isVisible());

    // A new window reads the stored choice.
    fixture.model().setSelectedTab(DetailTab::overview);
    MainWindow second(fixture.ui());
    second.show();
    auto* again = qobject_cast<OverviewTab*>(second.detail()->builtTab(DetailTab::overview));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->bindings()->bindingsLayout(), BindingsLayout::list);
    EXPECT_EQ(BindingsLayoutStore::load(), BindingsLayout::list);
}

TEST_F(OverviewTest, DiagramMovesOnlyWhileRunningAndShownAndOpensTheConfig)
{
    OverviewTab* tab = overview(folders.gateway);
    ASSERT_TRUE(tab);
    BindingDiagram* diagram = tab->bindings()->diagram();
    ASSERT_TRUE(diagram->isVisible());
    EXPECT_FALSE(diagram->isAnimating());

    fixture.setStatus(folders.gateway, ProjectStatus::running());
    QTRY_VERIFY_WITH_TIMEOUT(diagram->isAnimating(), 5000);
    fixture.model().setSelectedTab(DetailTab::logs);
    EXPECT_FALSE(diagram->isAnimating()) << "hidden with its tab";
    fixture.model().setSelectedTab(DetailTab::overview);
    EXPECT_TRUE(diagram->isAnimating());
    window.showMinimized();
    EXPECT_FALSE(diagram->isAnimating()) << "minimised";
    window.showNormal();
    EXPECT_TRUE(diagram->isAnimating());
    window.hide();
    EXPECT_FALSE(diagram->isAnimating()) << "closed to the tray";
    window.show();
    fixture.setStatus(folders.gateway, ProjectStatus::error(QStringLiteral("Exited with code 1")));
    QTRY_VERIFY_WITH_TIMEOUT(!diagram->isAnimating(), 5000);

    // Hovering a card highlights it; the config row opens the file in the editor.
    QTest::mouseMove(diagram, diagram->cardRect(1).center().toPoint());
    QTRY_COMPARE_WITH_TIMEOUT(diagram->hoveredIndex(), 1, 5000);
    AppModelTestAccess::setInstalledApps(
        fixture.model(), {},
        {ExternalApp{QStringLiteral("vscode"), QStringLiteral("Visual Studio Code"),
                     QStringLiteral("/usr/bin/code")}});
    QTest::mouseClick(diagram, Qt::LeftButton, {}, diagram->configRowRect().center().toPoint());
    ASSERT_EQ(fixture.desktop().workspace.launches().size(), 1);
    EXPECT_EQ(fixture.desktop().workspace.launches().first().arguments,
              QStringList{folders.gateway + QStringLiteral("/wrangler.jsonc")});
}

TEST_F(OverviewTest, ProjectWithoutBindingsShowsTheEmptyState)
{
    OverviewTab* tab = overview(folders.plain);
    ASSERT_TRUE(tab);
    EXPECT_EQ(find<QLabel>(tab, QStringLiteral("bindingsCount"))->text(), QStringLiteral("0"));
    EXPECT_TRUE(shown(tab, QStringLiteral("bindingsEmpty")));
    EXPECT_EQ(find<QLabel>(tab, QStringLiteral("bindingsEmptyText"))->text(),
              QStringLiteral("No bindings in this project's config."));
    EXPECT_FALSE(shown(tab, QStringLiteral("layoutToggle")));
    EXPECT_FALSE(tab->bindings()->diagram()->isVisibleTo(tab));
}

// The diagram from the keyboard: Tab walks the cards and the config row (and leaves after
// them), Enter, Space and the menu key open the focused card's menu, a right click opens the
// one under the pointer; a click takes no focus, so no ring shows for it. The config row with
// no editor installed offers Settings, like the header's editor action.
TEST_F(OverviewTest, TheDiagramsCardsAreReachedByTabAndOpenTheirMenusFromTheKeyboard)
{
    OverviewTab* tab = overview(folders.gateway);
    ASSERT_TRUE(tab);
    BindingDiagram* diagram = tab->bindings()->diagram();
    ASSERT_EQ(diagram->content().items.size(), 4);
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const auto openMenu = [&]() -> QMenu* {
        for (QMenu* menu : diagram->findChildren<QMenu*>(QStringLiteral("bindingMenu")))
            if (menu->isVisible())
                return menu;
        return nullptr;
    };
    const auto closeMenu = [&] {
        if (QMenu* menu = openMenu()) {
            menu->close();
            delete menu;
        }
    };

    QTest::mouseClick(diagram, Qt::LeftButton, {}, diagram->cardRect(0).center().toPoint());
    ASSERT_TRUE(openMenu());
    EXPECT_FALSE(diagram->hasFocus()) << "a click gives no keyboard focus";
    closeMenu();
    const QPoint onCard = diagram->cardRect(2).center().toPoint();
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, onCard, diagram->mapToGlobal(onCard));
    QApplication::sendEvent(diagram, &rightClick);
    ASSERT_TRUE(openMenu());
    EXPECT_TRUE(actionTexts(openMenu()).contains(QStringLiteral("Show auth-worker")));
    closeMenu();

    diagram->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(diagram->focusedIndex(), 0);
    EXPECT_TRUE(diagram->showsFocusRing());
    QTest::keyClick(diagram, Qt::Key_Tab);
    EXPECT_EQ(diagram->focusedIndex(), 1);
    QTest::keyClick(diagram, Qt::Key_Return);
    ASSERT_TRUE(openMenu());
    EXPECT_EQ(actionTexts(openMenu()), (QStringList{QStringLiteral("Copy binding name"),
                                                    QStringLiteral("Copy resource name")}))
        << "the queue's menu";
    closeMenu();
    QTest::keyClick(diagram, Qt::Key_Backtab);
    EXPECT_EQ(diagram->focusedIndex(), 0);
    QTest::keyClick(diagram, Qt::Key_Space);
    ASSERT_TRUE(openMenu());
    EXPECT_TRUE(actionTexts(openMenu()).contains(QStringLiteral("Show in Explorer"))) << "D1";
    closeMenu();
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(),
                              diagram->mapToGlobal(QPoint()));
    QApplication::sendEvent(diagram, &menuKey);
    ASSERT_TRUE(openMenu());
    closeMenu();

    // The config row is the last stop; without an editor it leads to Settings.
    bool settingsOpened = false;
    fixture.ui().openSettings = [&] { settingsOpened = true; };
    AppModelTestAccess::setInstalledApps(fixture.model(), {}, {});
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(diagram, Qt::Key_Tab);
    EXPECT_EQ(diagram->focusedIndex(), 4);
    QTest::keyClick(diagram, Qt::Key_Return);
    EXPECT_EQ(fixture.desktop().alerts.messages(),
              QStringList{QStringLiteral("No code editor found. Choose one in Settings.")});
    ASSERT_TRUE(fixture.desktop().alerts.answerPending(0));
    EXPECT_TRUE(settingsOpened);
    QTest::keyClick(diagram, Qt::Key_Tab);
    EXPECT_FALSE(diagram->hasFocus()) << "Tab leaves after the last stop";
    EXPECT_FALSE(diagram->showsFocusRing());
}

// Before the first inspection nothing is known of the bindings: no count and no empty state.
TEST_F(OverviewTest, BindingsSayNothingBeforeTheFirstInspection)
{
    fixture.model().select(folders.plain);
    fixture.model().setSelectedTab(DetailTab::overview);
    auto* tab = qobject_cast<OverviewTab*>(window.detail()->builtTab(DetailTab::overview));
    ASSERT_TRUE(tab);
    if (!fixture.model().infoFor(folders.plain)) {
        EXPECT_EQ(find<QLabel>(tab, QStringLiteral("bindingsCount"))->text(), QString());
        EXPECT_FALSE(shown(tab, QStringLiteral("bindingsEmpty")));
    }
    WAIT_UNTIL(fixture.model().infoFor(folders.plain) != nullptr, 5000);
    tab->refresh();
    EXPECT_EQ(find<QLabel>(tab, QStringLiteral("bindingsCount"))->text(), QStringLiteral("0"));
    EXPECT_TRUE(shown(tab, QStringLiteral("bindingsEmpty")));
}

// The service binding to auth-worker follows the dev registry: "not connected" with a problem
// line and a start button while the gateway runs, "connected" once auth-worker is live.
TEST_F(OverviewTest, BindingsToOtherWorkersShowWhetherTheyAreConnected)
{
    OverviewTab* tab = overview(folders.gateway);
    ASSERT_TRUE(tab);
    find<QPushButton>(tab, QStringLiteral("layoutList"))->click();
    const auto connection = [&](const QString& itemID) -> QString {
        for (QWidget* row : tab->findChildren<QWidget*>(QStringLiteral("bindingRow")))
            if (row->property("itemID").toString() == itemID) {
                auto* label = row->findChild<QLabel*>(QStringLiteral("bindingConnection"));
                return label ? label->text() : QStringLiteral("(none)");
            }
        return QStringLiteral("(no row)");
    };
    EXPECT_EQ(connection(QStringLiteral("service:AUTH:auth-worker")),
              QStringLiteral("not connected"));
    EXPECT_EQ(connection(QStringLiteral("queue:JOBS:jobs")), QStringLiteral("not connected"));
    EXPECT_EQ(connection(QStringLiteral("d1:DB:main-db")), QStringLiteral("(none)"));
    // Not a problem while the gateway is stopped.
    EXPECT_FALSE(shown(tab, QStringLiteral("disconnectedLine")));

    fixture.setStatus(folders.gateway, ProjectStatus::running());
    tab->refresh();
    QList<QWidget*> lines = tab->findChildren<QWidget*>(QStringLiteral("disconnectedLine"));
    ASSERT_EQ(lines.size(), 2);
    auto* start = tab->findChild<QPushButton*>(QStringLiteral("startMissingService"));
    ASSERT_TRUE(start);
    EXPECT_EQ(start->text(), QStringLiteral("Start auth-worker"));

    // auth-worker registers, and consumes the queue: both connected, no problem left.
    DevRegistryEntry auth;
    auth.workerName = QStringLiteral("auth-worker");
    auth.debugAddress = QStringLiteral("127.0.0.1:45000");
    auth.queueConsumers = {QStringLiteral("jobs")};
    auth.live = true;
    fixture.model().devRegistry()->showEntries({auth});
    QTRY_COMPARE_WITH_TIMEOUT(connection(QStringLiteral("service:AUTH:auth-worker")),
                              QStringLiteral("connected"), 5000);
    EXPECT_EQ(connection(QStringLiteral("queue:JOBS:jobs")), QStringLiteral("connected"));
    EXPECT_TRUE(tab->findChildren<QWidget*>(QStringLiteral("disconnectedLine")).isEmpty());

    // The header offers the start with local services: auth is a registered project it needs.
    ProjectHeader* header = window.detail()->header();
    header->refreshMoreMenu();
    EXPECT_TRUE(header->moreMenu()->findChild<QAction*>(QStringLiteral("startWithServices")));
}

TEST_F(OverviewTest, TrafficCardShowsTheServersRequestsOnlyWhileOnTheScreen)
{
    OverviewTab* tab = overview(folders.gateway);
    ASSERT_TRUE(tab);
    EXPECT_FALSE(shown(tab, QStringLiteral("trafficCard"))) << "stopped: no card";

    ServerActivity* activity = runtime(folders.gateway)->activity();
    qint64 now = QDateTime(QDate(2026, 12, 8), QTime(12, 0, 30)).toMSecsSinceEpoch();
    activity->setClock([&now] { return now; });
    fixture.setStatus(folders.gateway, ProjectStatus::running());
    tab->refresh();
    ASSERT_TRUE(shown(tab, QStringLiteral("trafficCard")));
    auto* card = find<QWidget>(tab, QStringLiteral("trafficCard"));
    EXPECT_TRUE(shown(card, QStringLiteral("trafficEmpty")));
    EXPECT_EQ(find<QLabel>(card, QStringLiteral("trafficEmpty"))->text(),
              QStringLiteral("No requests yet"));

    // What the server prints, read as it arrives: the card follows on its own.
    const auto serve = [activity](const char* line) {
        activity->outputLine(QString::fromUtf8(line), false);
    };
    serve("[wrangler:info] GET /api/items 200 OK (12ms)");
    serve("[wrangler:info] POST /api/items 201 Created (340ms)");
    now += 20'000;
    serve("[wrangler:error] TypeError: item is undefined");
    serve("[wrangler:info] GET /api/items/7 500 Internal Server Error (30ms)");
    const auto figure = [&](const char* label) {
        auto* value = find<QLabel>(card, QStringLiteral("trafficFigure:") + QLatin1String(label));
        return value ? value->text() : QStringLiteral("(none)");
    };
    QTRY_COMPARE_WITH_TIMEOUT(figure("Errors"), QStringLiteral("33%"), 5000);
    EXPECT_FALSE(shown(card, QStringLiteral("trafficEmpty")));
    EXPECT_EQ(figure("Requests / min"), QStringLiteral("0.6"));
    EXPECT_EQ(figure("p50"), QStringLiteral("30 ms"));
    const auto rows = [card](const QString& name) {
        QStringList texts;
        for (QWidget* row : card->findChildren<QWidget*>(name)) {
            if (!row->isVisibleTo(card))
                continue;
            QStringList parts;
            for (const char* part :
                 {"requestMethod", "requestPath", "requestStatus", "requestTime"})
                parts << row->findChild<QLabel*>(QString::fromLatin1(part))->text();
            texts << parts.join(u' ');
        }
        return texts;
    };
    EXPECT_EQ(rows(QStringLiteral("trafficSlowestRow")),
              (QStringList{"POST /api/items 201 340 ms", "GET /api/items/7 500 30 ms",
                           "GET /api/items 200 12 ms"}));
    EXPECT_EQ(rows(QStringLiteral("trafficFailedRow")),
              (QStringList{"GET /api/items/7 500 12:00:50"}));
    const auto failedStatus = [card] {
        return card->findChild<QWidget*>(QStringLiteral("trafficFailedRow"))
            ->findChild<QLabel*>(QStringLiteral("requestStatus"));
    };
    EXPECT_EQ(failedStatus()->palette().color(QPalette::WindowText),
              Palette::forScheme(Scheme::light).error);
    EXPECT_TRUE(card->findChild<QWidget*>(QStringLiteral("trafficFailedRow"))
                    ->toolTip()
                    .contains(QStringLiteral("TypeError: item is undefined")));

    // Another tab, then the window minimised: requests still count, the card reads none of them
    // until it is back on the screen.
    fixture.model().setSelectedTab(DetailTab::logs);
    serve("[wrangler:info] GET /api/items 200 OK (5ms)");
    QTest::qWait(TrafficCard::refreshMillis * 3 / 2);
    EXPECT_EQ(figure("Errors"), QStringLiteral("33%"));
    fixture.model().setSelectedTab(DetailTab::overview);
    // Read again as it shows, not at the next tick.
    QTRY_COMPARE_WITH_TIMEOUT(figure("Errors"), QStringLiteral("25%"),
                              TrafficCard::refreshMillis / 2);

    window.showMinimized();
    serve("[wrangler:info] GET /api/items 200 OK (5ms)");
    QTest::qWait(TrafficCard::refreshMillis * 3 / 2);
    EXPECT_EQ(figure("Errors"), QStringLiteral("25%"));
    window.showNormal();
    QTRY_COMPARE_WITH_TIMEOUT(figure("Errors"), QStringLiteral("20%"), 5000);

    // The sparkline tells the minute under the pointer: the right end is the minute under way.
    auto* sparkline = find<QWidget>(card, QStringLiteral("trafficSparkline"));
    const QPoint end(sparkline->width() - 2, sparkline->height() / 2);
    QHelpEvent help(QEvent::ToolTip, end, sparkline->mapToGlobal(end));
    QApplication::sendEvent(sparkline, &help);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("5 requests, 1 error · this minute"));

    // The dark scheme recolours what the content coloured.
    fixture.theme().setMode(AppearanceMode::dark);
    EXPECT_EQ(failedStatus()->palette().color(QPalette::WindowText),
              Palette::forScheme(Scheme::dark).error);
    EXPECT_EQ(find<QLabel>(card, QStringLiteral("trafficFigure:Errors"))
                  ->palette()
                  .color(QPalette::WindowText),
              Palette::forScheme(Scheme::dark).error);

    fixture.setStatus(folders.gateway, ProjectStatus::stopped());
    tab->refresh();
    EXPECT_FALSE(shown(tab, QStringLiteral("trafficCard")));
}
