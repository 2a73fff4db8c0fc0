#include "runs/project_runtime.h"
#include "support/temp_folder.h"
#include "support/wait_until.h"
#include "ui/detail/project_detail_view.h"
#include "ui/detail/project_header.h"
#include "ui/main_window.h"
#include "ui/support/gui_fixture.h"
#include "ui/window_actions.h"

#include <QAbstractButton>
#include <QAction>
#include <QPushButton>
#include <QShortcut>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using Kind = ProjectStatus::Kind;

// Every key sequence bound in the window: its actions' and buttons' shortcuts and QShortcuts.
QList<QKeySequence> boundKeys(const QWidget& window)
{
    QList<QKeySequence> keys;
    QList<QAction*> actions = window.actions() + window.findChildren<QAction*>();
    for (QAction* action : std::as_const(actions))
        keys += action->shortcuts();
    for (const QShortcut* shortcut : window.findChildren<QShortcut*>())
        keys += shortcut->keys();
    for (const QAbstractButton* button : window.findChildren<QAbstractButton*>())
        if (!button->shortcut().isEmpty())
            keys += button->shortcut();
    return keys;
}

} // namespace

TEST(WindowActions, ShortcutsActOnTheSelectedProjectAndNoKeyIsBoundTwice)
{
    TempFolder home;
    TempFolder sites;
    sites.write(QStringLiteral("api/wrangler.jsonc"), R"({"name": "api"})");
    const QString path = sites.filePath(QStringLiteral("api"));
    Project server = testProject(path, QStringLiteral("api"), sites.path());
    server.runModeOverride = RunModeKind::custom;
    server.customCommand = sites.writeScript(
        QStringLiteral("api/server.sh"), "echo '[wrangler:info] Ready on http://localhost:18787'\n"
                                         "exec sleep 60\n");
    Registry registry;
    registry.roots = {sites.path()};
    registry.projects = {server};
    GuiFixture fixture(registry, {{QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin")},
                                  {QStringLiteral("HOME"), home.path()}});
    AppModel& model = fixture.model();
    model.select(path);
    MainWindow window(fixture.ui());
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ASSERT_EQ(window.windowActions(), fixture.ui().windowActions);

    const QList<QKeySequence> keys = boundKeys(window);
    EXPECT_EQ(QSet<QKeySequence>(keys.begin(), keys.end()).size(), keys.size());
    EXPECT_EQ(keys.count(QKeySequence(Qt::CTRL | Qt::Key_Return)), 1);
    EXPECT_EQ(keys.count(QKeySequence(Qt::CTRL | Qt::Key_Enter)), 1);
    EXPECT_EQ(keys.count(QKeySequence(Qt::CTRL | Qt::Key_Period)), 1);
    EXPECT_EQ(keys.count(QKeySequence(Qt::CTRL | Qt::Key_R)), 1);
    EXPECT_EQ(keys.count(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R)), 1);

    // Start, Restart and Stop from the keyboard, wherever the focus is.
    ProjectRuntime* runtime = model.runtimeFor(path);
    const auto kind = [runtime] { return runtime->status().kind(); };
    QWidget* focus = window.focusWidget() ? window.focusWidget() : &window;
    EXPECT_FALSE(window.windowActions()->stop()->isEnabled());
    QTest::keyClick(focus, Qt::Key_Period, Qt::ControlModifier); // stopped: nothing to stop
    QTest::keyClick(focus, Qt::Key_Return, Qt::ControlModifier);
    WAIT_UNTIL(kind() == Kind::running, 15000);
    EXPECT_FALSE(window.windowActions()->start()->isEnabled());
    const qint32 first = *runtime->pid();
    QTest::keyClick(focus, Qt::Key_R, Qt::ControlModifier);
    WAIT_UNTIL(kind() == Kind::running && runtime->pid() && *runtime->pid() != first, 15000);
    QTest::keyClick(focus, Qt::Key_Period, Qt::ControlModifier);
    WAIT_UNTIL(kind() == Kind::stopped, 15000);

    // Ctrl+Enter on the keypad starts too; the header's Stop goes through the same action.
    QTest::keyClick(focus, Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
    WAIT_UNTIL(kind() == Kind::running, 15000);
    window.detail()->header()->refresh();
    auto* stop = window.detail()->header()->findChild<QPushButton*>(QStringLiteral("headerStop"));
    ASSERT_NE(stop, nullptr);
    stop->click();
    WAIT_UNTIL(kind() == Kind::stopped, 15000);

    // Rescan Folders finds a project added since.
    sites.write(QStringLiteral("fresh/wrangler.jsonc"), R"({"name": "fresh"})");
    QTest::keyClick(focus, Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    WAIT_UNTIL(model.findProject(sites.filePath(QStringLiteral("fresh"))).has_value(), 15000);
}
