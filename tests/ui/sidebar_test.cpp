#include "runs/project_runtime.h"
#include "support/wait_until.h"
#include "ui/main_window.h"
#include "ui/project_actions.h"
#include "ui/sidebar/section_title.h"
#include "ui/sidebar/sidebar_list.h"
#include "ui/sidebar/sidebar_row.h"
#include "ui/sidebar/sidebar_view.h"
#include "ui/support/gui_fixture.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/destructive_action.h"
#include "ui/widgets/status_dot.h"

#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QString root = QStringLiteral("/home/dev/Sites");

// Four projects under one root and one added by hand; "zeta" is a favourite.
Registry sampleRegistry()
{
    Registry registry;
    registry.roots = {root};
    registry.projects = {
        testProject(root + QStringLiteral("/alpha"), QStringLiteral("alpha"), root),
        testProject(root + QStringLiteral("/beta"), QStringLiteral("beta"), root),
        testProject(root + QStringLiteral("/gamma"), QStringLiteral("gamma"), root),
        testProject(root + QStringLiteral("/zeta"), QStringLiteral("zeta"), root, true),
        testProject(QStringLiteral("/opt/solo"), QStringLiteral("solo")),
    };
    return registry;
}

struct Shown
{
    QString title;
    int count;
    QStringList names;
};

// The sections as the widgets show them: visible titles and the rows under each, top to bottom.
QList<Shown> shownSections(SidebarList& list)
{
    list.rebuildNow();
    QList<Shown> result;
    QLayout* layout = list.widget()->layout();
    for (int i = 0; i < layout->count(); ++i) {
        QWidget* w = layout->itemAt(i)->widget();
        if (!w || w->isHidden())
            continue;
        if (auto* title = qobject_cast<SectionTitle*>(w))
            result.append({title->title(), title->count().value_or(-1), {}});
        else if (auto* row = qobject_cast<SidebarRow*>(w); row && !result.isEmpty())
            result.last().names.append(row->content().displayName);
    }
    return result;
}

class SidebarTest : public ::testing::Test
{
protected:
    SidebarTest() : fixture(sampleRegistry()), window(fixture.ui())
    {
        window.show();
        list = window.sidebar()->list();
    }

    QString path(const char* name) const { return root + QLatin1Char('/') + QLatin1String(name); }

    GuiFixture fixture;
    MainWindow window;
    SidebarList* list = nullptr;
};

} // namespace

TEST_F(SidebarTest, GroupsFavouritesRunningAndTheRestWithTitlesAndCounts)
{
    // Only the favourite and the rest: the rest is "Stopped" because another section shows.
    auto sections = shownSections(*list);
    ASSERT_EQ(sections.size(), 2);
    EXPECT_EQ(sections[0].title, QStringLiteral("Favorites"));
    EXPECT_EQ(sections[0].names, QStringList{QStringLiteral("zeta")});
    EXPECT_EQ(sections[1].title, QStringLiteral("Stopped"));
    EXPECT_EQ(sections[1].count, 4);

    // A running favourite stays under Favorites only; a starting project counts as running.
    fixture.setStatus(path("zeta"), ProjectStatus::running());
    fixture.setStatus(path("beta"), ProjectStatus::starting());
    sections = shownSections(*list);
    ASSERT_EQ(sections.size(), 3);
    EXPECT_EQ(sections[0].names, QStringList{QStringLiteral("zeta")});
    EXPECT_EQ(sections[1].title, QStringLiteral("Running"));
    EXPECT_EQ(sections[1].names, QStringList{QStringLiteral("beta")});
    EXPECT_EQ(sections[2].title, QStringLiteral("Stopped"));
    EXPECT_EQ(sections[2].names, (QStringList{QStringLiteral("alpha"), QStringLiteral("gamma"),
                                              QStringLiteral("solo")}));

    // The section header shows its title upper-cased.
    const auto titles = list->widget()->findChildren<SectionTitle*>();
    const bool upper = std::any_of(titles.begin(), titles.end(), [](SectionTitle* t) {
        return t->findChildren<QLabel*>().first()->text() == QStringLiteral("RUNNING");
    });
    EXPECT_TRUE(upper);
}

TEST_F(SidebarTest, WithoutFavouritesOrRunningTheOneSectionIsProjects)
{
    fixture.model().setFavorite(path("zeta"), false);
    auto sections = shownSections(*list);
    ASSERT_EQ(sections.size(), 1);
    EXPECT_EQ(sections[0].title, QStringLiteral("Projects"));
    EXPECT_EQ(sections[0].count, 5);

    fixture.setStatus(path("gamma"), ProjectStatus::running());
    sections = shownSections(*list);
    ASSERT_EQ(sections.size(), 2);
    EXPECT_EQ(sections[0].title, QStringLiteral("Running"));
    EXPECT_EQ(sections[1].title, QStringLiteral("Stopped"));
}

TEST_F(SidebarTest, SearchFiltersByDisplayNameAndSpacesCountAsNoQuery)
{
    QLineEdit* search = window.findChild<QLineEdit*>(QStringLiteral("sidebarSearch"));
    ASSERT_NE(search, nullptr);
    auto* clear = window.findChild<IconButton*>(QStringLiteral("sidebarSearchClear"));
    ASSERT_NE(clear, nullptr);
    EXPECT_TRUE(clear->isHidden());

    search->setText(QStringLiteral("   "));
    EXPECT_FALSE(clear->isHidden()); // the field is not empty, so it can be cleared
    auto sections = shownSections(*list);
    int rows = 0;
    for (const Shown& s : sections)
        rows += int(s.names.size());
    EXPECT_EQ(rows, 5);

    search->setText(QStringLiteral("  AM "));
    sections = shownSections(*list);
    ASSERT_EQ(sections.size(), 1);
    EXPECT_EQ(sections[0].names, QStringList{QStringLiteral("gamma")});
    // Only the rest is left, so it is titled "Projects" again.
    EXPECT_EQ(sections[0].title, QStringLiteral("Projects"));

    search->setText(QStringLiteral("nothing-like-this"));
    EXPECT_TRUE(shownSections(*list).isEmpty());
    auto* empty = window.findChild<QLabel*>(QStringLiteral("sidebarEmptyLabel"));
    EXPECT_EQ(empty->text(), QStringLiteral("No matches"));
    EXPECT_FALSE(empty->isHidden());

    QTest::mouseClick(clear, Qt::LeftButton);
    EXPECT_TRUE(search->text().isEmpty());
    EXPECT_EQ(shownSections(*list).size(), 2);
}

TEST_F(SidebarTest, UpAndDownWalkTheDisplayedOrderAndStopAtTheEnds)
{
    fixture.model().select(std::nullopt);
    list->rebuildNow();
    list->setFocus();
    // No selection: either key selects the first displayed project (the favourite).
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(fixture.model().selection(), path("zeta"));
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(fixture.model().selection(), path("zeta"));
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(fixture.model().selection(), path("alpha"));
    for (int i = 0; i < 10; ++i)
        QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(fixture.model().selection(), QStringLiteral("/opt/solo"));
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(fixture.model().selection(), path("gamma"));
}

TEST_F(SidebarTest, EmptyRegistryShowsNoProjects)
{
    GuiFixture empty;
    MainWindow emptyWindow(empty.ui());
    emptyWindow.show();
    emptyWindow.sidebar()->list()->rebuildNow();
    auto* label = emptyWindow.findChild<QLabel*>(QStringLiteral("sidebarEmptyLabel"));
    EXPECT_EQ(label->text(), QStringLiteral("No projects"));
    EXPECT_FALSE(label->isHidden());
    EXPECT_EQ(emptyWindow.detail(), nullptr); // the welcome screen instead
}

TEST_F(SidebarTest, ContextMenuOffersRemoveOnlyForProjectsAddedByHand)
{
    const auto texts = [this](const QString& projectPath) {
        QMenu* menu = ProjectActions::contextMenu(
            fixture.ui(), *fixture.model().findProject(projectPath), &window);
        QStringList result;
        for (QAction* action : menu->actions())
            result << (action->isSeparator() ? QStringLiteral("--") : action->text());
        delete menu;
        return result;
    };
    EXPECT_EQ(texts(path("alpha")),
              (QStringList{QStringLiteral("Start"), QStringLiteral("Add to Favorites"),
                           QStringLiteral("Reveal in File Manager"), QStringLiteral("--"),
                           QStringLiteral("Hide Project")}));
    fixture.setStatus(QStringLiteral("/opt/solo"), ProjectStatus::starting());
    EXPECT_EQ(texts(QStringLiteral("/opt/solo")),
              (QStringList{QStringLiteral("Stop"), QStringLiteral("Add to Favorites"),
                           QStringLiteral("Reveal in File Manager"), QStringLiteral("--"),
                           QStringLiteral("Hide Project"), QStringLiteral("Remove Project")}));
    EXPECT_EQ(texts(path("zeta"))[1], QStringLiteral("Remove from Favorites"));

    // The entries act on the model: hide, then reveal through the workspace.
    QMenu* menu = ProjectActions::contextMenu(fixture.ui(),
                                              *fixture.model().findProject(path("beta")), &window);
    menu->actions()[4]->trigger();
    EXPECT_TRUE(fixture.model().findProject(path("beta"))->hidden);
    menu->actions()[2]->trigger();
    EXPECT_EQ(fixture.desktop().workspace.revealed(), QStringList{path("beta")});
    delete menu;
    EXPECT_EQ(fixture.model().findProject(path("beta"))->hidden, true);
    EXPECT_EQ(texts(path("beta"))[4], QStringLiteral("Show Project"));
}

TEST_F(SidebarTest, AddMenuShowsHiddenToggleOnlyWhenSomethingIsHidden)
{
    SidebarView* sidebar = window.sidebar();
    const auto texts = [sidebar] {
        sidebar->refreshAddMenu();
        QStringList result;
        for (QAction* action : sidebar->addMenu()->actions())
            result << (action->isSeparator() ? QStringLiteral("--") : action->text());
        return result;
    };
    EXPECT_EQ(texts(), (QStringList{QStringLiteral("Add Root Folder…"),
                                    QStringLiteral("Add Single Project…"), QStringLiteral("--"),
                                    QStringLiteral("Rescan Folders")}));
    fixture.model().setHidden(path("gamma"), true);
    const QStringList withHidden = texts();
    ASSERT_EQ(withHidden.size(), 6);
    EXPECT_EQ(withHidden.last(), QStringLiteral("Show Hidden Projects"));
    QAction* toggle = sidebar->addMenu()->actions().last();
    EXPECT_TRUE(toggle->isCheckable());
    EXPECT_FALSE(toggle->isChecked());
    toggle->trigger();
    EXPECT_TRUE(fixture.model().showHidden());
    // The hidden project is listed again, drawn as hidden.
    list->rebuildNow();
    ASSERT_NE(list->rowFor(path("gamma")), nullptr);
    EXPECT_TRUE(list->rowFor(path("gamma"))->content().hidden);
}

TEST_F(SidebarTest, AddingASingleProjectThatIsRefusedShowsTheModelsMessage)
{
    TempFolder notAProject;
    fixture.queueFolder(notAProject.path());
    window.sidebar()->refreshAddMenu();
    window.sidebar()->addMenu()->actions()[1]->trigger();
    ASSERT_EQ(fixture.chooserRequests().size(), 1);
    EXPECT_EQ(fixture.chooserRequests()[0].first, QStringLiteral("Add Project"));
    EXPECT_EQ(fixture.chooserRequests()[0].second,
              QStringLiteral("Choose a project folder containing a wrangler config"));
    ASSERT_EQ(fixture.desktop().alerts.shown().size(), 1);
    EXPECT_EQ(
        fixture.desktop().alerts.shown()[0].message,
        QStringLiteral("No wrangler.toml, wrangler.json or wrangler.jsonc found in that folder."));
    EXPECT_EQ(fixture.desktop().alerts.shown()[0].style, AlertStyle::warning);

    // A cancelled chooser does nothing.
    fixture.queueFolder(QString());
    window.sidebar()->addMenu()->actions()[0]->trigger();
    EXPECT_EQ(fixture.chooserRequests().last().first, QStringLiteral("Add Folder"));
    EXPECT_EQ(fixture.model().roots(), QStringList{root});
    EXPECT_EQ(fixture.desktop().alerts.shown().size(), 1);
}

TEST_F(SidebarTest, RowsSelectOnClickAndOfferFavouriteAndStartWhileHovered)
{
    list->rebuildNow();
    SidebarRow* row = list->rowFor(path("gamma"));
    ASSERT_NE(row, nullptr);
    QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(40, 10));
    EXPECT_EQ(fixture.model().selection(), path("gamma"));
    EXPECT_TRUE(row->isSelected() || (list->rebuildNow(), row->isSelected()));

    row->setHovered(true);
    ASSERT_NE(row->favoriteButton(), nullptr);
    EXPECT_FALSE(row->favoriteButton()->isHidden());
    EXPECT_EQ(row->favoriteButton()->toolTip(), QStringLiteral("Add to Favorites"));
    EXPECT_EQ(row->startStopButton()->toolTip(), QStringLiteral("Start"));
    row->favoriteButton()->click();
    EXPECT_TRUE(fixture.model().findProject(path("gamma"))->isFavorite());

    // No start/stop button while a start is under way; Stop while running.
    fixture.setStatus(path("gamma"), ProjectStatus::starting());
    list->rebuildNow();
    EXPECT_TRUE(row->startStopButton()->isHidden());
    fixture.setStatus(path("gamma"), ProjectStatus::running());
    list->rebuildNow();
    EXPECT_FALSE(row->startStopButton()->isHidden());
    EXPECT_EQ(row->startStopButton()->toolTip(), QStringLiteral("Stop"));
    EXPECT_EQ(row->favoriteButton()->toolTip(), QStringLiteral("Remove from Favorites"));
}

TEST(SidebarNames, ProjectsSharingANameShowTheirLastTwoFolders)
{
    Registry registry;
    registry.projects = {
        testProject(QStringLiteral("/home/dev/Sites/aurora/api"), QStringLiteral("api")),
        testProject(QStringLiteral("/home/dev/Sites/ember/api"), QStringLiteral("api")),
        testProject(QStringLiteral("/home/dev/Sites/web"), QStringLiteral("web"))};
    GuiFixture fixture(registry);
    MainWindow window(fixture.ui());
    window.show();
    const auto sections = shownSections(*window.sidebar()->list());
    ASSERT_EQ(sections.size(), 1);
    EXPECT_EQ(sections[0].names,
              (QStringList{QStringLiteral("api  (aurora/api)"), QStringLiteral("api  (ember/api)"),
                           QStringLiteral("web")}));
    // The search matches the display name, folders included.
    window.sidebar()->searchField()->setText(QStringLiteral("ember"));
    const auto filtered = shownSections(*window.sidebar()->list());
    ASSERT_EQ(filtered.size(), 1);
    EXPECT_EQ(filtered[0].names, QStringList{QStringLiteral("api  (ember/api)")});
}

TEST_F(SidebarTest, SectionCountsAnimateFromTheirOwnSectionsFigure)
{
    // Favorites 1, Stopped 4. A start puts Running between them: the Stopped count must count
    // down from its own 4, and the new Running title must show its 1 at once, not animate
    // from the figure of the title that held its place before.
    shownSections(*list);
    fixture.setStatus(path("beta"), ProjectStatus::running());
    list->rebuildNow();
    const auto countText = [this](const QString& title) {
        for (SectionTitle* t : list->widget()->findChildren<SectionTitle*>())
            if (!t->isHidden() && t->title() == title)
                return t->findChildren<QLabel*>().last()->text();
        return QStringLiteral("missing");
    };
    EXPECT_EQ(countText(QStringLiteral("Running")), QStringLiteral("1"));
    EXPECT_EQ(countText(QStringLiteral("Stopped")), QStringLiteral("4"));
    QTRY_COMPARE_WITH_TIMEOUT(countText(QStringLiteral("Stopped")), QStringLiteral("3"), 3000);
}

TEST_F(SidebarTest, HoverButtonsFadeOutBeforeTheyHide)
{
    list->rebuildNow();
    SidebarRow* row = list->rowFor(path("alpha"));
    ASSERT_NE(row, nullptr);
    row->setHovered(true);
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(row->favoriteButton()->graphicsEffect());
    ASSERT_NE(effect, nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(effect->opacity(), 1.0, 3000);

    row->setHovered(false);
    // Still on screen while the opacity falls, then hidden.
    EXPECT_FALSE(row->favoriteButton()->isHidden());
    QTRY_VERIFY_WITH_TIMEOUT(effect->opacity() < 0.9 && effect->opacity() > 0.0, 3000);
    QTRY_VERIFY_WITH_TIMEOUT(row->favoriteButton()->isHidden(), 3000);
    EXPECT_TRUE(row->startStopButton()->isHidden());
}

TEST(SidebarSearch, FoldsCaseUnderTheUsersLocale)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
    QList<Project> projects{testProject(QStringLiteral("/w/isik"), QStringLiteral("IŞIK"))};
    const auto sections = sidebarSections(
        projects, QStringLiteral("ışık"), [](const Project& p) { return p.name; },
        [](const Project&) { return false; });
    QLocale::setDefault(previous);
    ASSERT_EQ(sections.size(), 1) << "a Turkish dotless ı matches its capital I";
    EXPECT_EQ(sections[0].projects.size(), 1);
}

TEST_F(SidebarTest, RemoveProjectIsDrawnInTheErrorColour)
{
    QMenu* menu = ProjectActions::contextMenu(
        fixture.ui(), *fixture.model().findProject(QStringLiteral("/opt/solo")), &window);
    QAction* remove = menu->findChild<QAction*>(QStringLiteral("removeProjectAction"));
    ASSERT_NE(remove, nullptr);
    EXPECT_TRUE(isDestructive(remove));
    EXPECT_FALSE(isDestructive(menu->actions().first()));

    // The error colour appears in the painted menu, only on the last entry's band.
    const QImage picture = menu->grab().toImage();
    const QColor error = fixture.theme().palette().error;
    const QRect band = menu->actionGeometry(remove);
    int inBand = 0;
    int elsewhere = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QColor c = picture.pixelColor(x, y);
            const bool near = qAbs(c.red() - error.red()) < 40 &&
                              qAbs(c.green() - error.green()) < 40 &&
                              qAbs(c.blue() - error.blue()) < 40;
            if (near)
                ++(band.contains(x, y) ? inBand : elsewhere);
        }
    EXPECT_GT(inBand, 10);
    EXPECT_EQ(elsewhere, 0);
    delete menu;
}

TEST_F(SidebarTest, RunningRowsShowRequestsPerMinuteReadOnlyWhileTheListIsShown)
{
    fixture.setStatus(path("gamma"), ProjectStatus::running());
    list->rebuildNow();
    SidebarRow* row = list->rowFor(path("gamma"));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->content().traffic, QString()) << "no requests: no figure";

    ServerActivity* activity = fixture.model().runtimeFor(path("gamma"))->activity();
    const auto serve = [activity](int count) {
        for (int i = 0; i < count; ++i)
            activity->outputLine(QStringLiteral("[wrangler:info] GET / 200 OK (3ms)"), false);
    };
    serve(3);
    QTRY_COMPARE_WITH_TIMEOUT(row->content().traffic, QStringLiteral("0.6/min"),
                              SidebarList::trafficMillis * 3);

    window.hide();
    // Whatever the hiding itself rebuilds comes first.
    QTest::qWait(50);
    serve(1);
    QTest::qWait(SidebarList::trafficMillis * 3 / 2);
    EXPECT_EQ(row->content().traffic, QStringLiteral("0.6/min"));
    window.show();
    QTRY_COMPARE_WITH_TIMEOUT(row->content().traffic, QStringLiteral("0.8/min"),
                              SidebarList::trafficMillis / 2);

    fixture.setStatus(path("gamma"), ProjectStatus::stopped());
    list->rebuildNow();
    EXPECT_EQ(row->content().traffic, QString());
}

TEST(SidebarHalo, TicksOnlyWhileTheRunningRowIsOnScreen)
{
    // Enough projects that the list scrolls at the window's smallest height.
    Registry registry;
    registry.roots = {root};
    for (int i = 0; i < 30; ++i) {
        const QString name = QStringLiteral("p%1").arg(i, 2, 10, QLatin1Char('0'));
        registry.projects.append(testProject(root + u'/' + name, name, root));
    }
    GuiFixture fixture(registry);
    MainWindow window(fixture.ui());
    window.resize(window.minimumSize());
    window.show();
    SidebarList* list = window.sidebar()->list();
    auto* clock = window.findChild<PulseClock*>();
    ASSERT_NE(clock, nullptr);
    const QString running = root + QStringLiteral("/p07");
    fixture.setStatus(running, ProjectStatus::running());
    list->rebuildNow();
    SidebarRow* row = nullptr;
    for (SidebarRow* candidate : list->findChildren<SidebarRow*>(QStringLiteral("sidebarRow")))
        if (candidate->content().path == running)
            row = candidate;
    ASSERT_NE(row, nullptr);
    int paints = 0;
    QObject::connect(clock, &PulseClock::ticked, row, [&] { paints += clock->animates(row); });
    WAIT_UNTIL(paints >= 2, 5000);

    QScrollBar* scroll = list->verticalScrollBar();
    ASSERT_GT(scroll->maximum(), 0) << "the list must scroll for this check";
    scroll->setValue(scroll->maximum());
    QCoreApplication::processEvents();
    EXPECT_TRUE(row->isVisible());
    EXPECT_FALSE(clock->animates(row)) << "scrolled out of view";
    EXPECT_FALSE(clock->isRunning()) << "no other row needs the clock";
    scroll->setValue(0);
    QCoreApplication::processEvents();
    EXPECT_TRUE(clock->animates(row)) << "scrolled back";

    window.showMinimized();
    EXPECT_FALSE(clock->isRunning()) << "minimised";
    window.showNormal();
    EXPECT_TRUE(clock->animates(row));
    window.hide();
    EXPECT_FALSE(clock->isRunning()) << "closed to the tray";
    window.show();
    fixture.setStatus(running, ProjectStatus::stopped());
    list->rebuildNow();
    EXPECT_FALSE(clock->isRunning()) << "stopped";
}
