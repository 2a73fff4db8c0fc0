#include "support/qt_gtest_printers.h"
#include "ui/app_menu_bar.h"
#include "ui/main_window.h"
#include "ui/support/gui_fixture.h"
#include "ui/window_actions.h"

#include <QAction>
#include <QMenu>
#include <QShortcut>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QList<QKeySequence> boundKeys(const QWidget& window)
{
    QList<QKeySequence> keys;
    QList<QAction*> actions = window.actions() + window.findChildren<QAction*>();
    for (QAction* action : std::as_const(actions))
        keys += action->shortcuts();
    for (const QShortcut* shortcut : window.findChildren<QShortcut*>())
        keys += shortcut->keys();
    return keys;
}

QStringList entries(const QMenu* menu)
{
    QStringList texts;
    for (const QAction* action : menu->actions())
        texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

} // namespace

TEST(AppMenuBar, OffersTheCommandsByKeyboardWithoutBindingAnyKeyTwice)
{
    GuiFixture fixture({{}, {testProject("/s/api", "api")}});
    MainWindow window(fixture.ui());
    AppMenuBar* menuBar = AppMenuBar::addTo(&window, *fixture.ui().windowActions);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    const QList<QKeySequence> keys = boundKeys(window);
    EXPECT_EQ(QSet<QKeySequence>(keys.begin(), keys.end()).size(), keys.size());
    EXPECT_EQ(keys.count(QKeySequence(Qt::CTRL | Qt::Key_Q)), 1);
    EXPECT_EQ(keys.count(QKeySequence(Qt::CTRL | Qt::Key_Comma)), 1);

    auto* application = menuBar->findChild<QMenu*>(QStringLiteral("applicationMenu"));
    auto* project = menuBar->findChild<QMenu*>(QStringLiteral("projectMenu"));
    ASSERT_TRUE(application && project);
    EXPECT_EQ(entries(application),
              (QStringList{"About Tallowmere", "Settings…", "-", "Quit Tallowmere"}));
    EXPECT_EQ(entries(project), (QStringList{"Start\tCtrl+Return", "Restart\tCtrl+R",
                                             "Stop\tCtrl+.", "-", "Rescan Folders\tCtrl+Shift+R"}));

    // Never disabled: an entry whose command does not apply does nothing.
    WindowActions& commands = *fixture.ui().windowActions;
    fixture.model().select(QStringLiteral("/s/api"));
    ASSERT_FALSE(commands.stop()->isEnabled());
    QSignalSpy stops(commands.stop(), &QAction::triggered);
    QSignalSpy starts(commands.start(), &QAction::triggered);
    for (QAction* entry : project->actions())
        EXPECT_TRUE(entry->isEnabled()) << entry->text().toStdString();
    project->actions()[2]->trigger();
    EXPECT_EQ(stops.size(), 0);
    project->actions()[0]->trigger();
    EXPECT_EQ(starts.size(), 1);

    QSignalSpy quits(menuBar, &AppMenuBar::quitRequested);
    QSignalSpy settings(menuBar, &AppMenuBar::settingsRequested);
    QSignalSpy about(menuBar, &AppMenuBar::aboutRequested);
    QWidget* focus = window.focusWidget() ? window.focusWidget() : &window;
    QTest::keyClick(focus, Qt::Key_Q, Qt::ControlModifier);
    QTest::keyClick(focus, Qt::Key_Comma, Qt::ControlModifier);
    menuBar->aboutAction()->trigger();
    EXPECT_EQ(quits.size(), 1);
    EXPECT_EQ(settings.size(), 1);
    EXPECT_EQ(about.size(), 1);
}
