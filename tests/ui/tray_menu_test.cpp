#include "runs/project_runtime.h"
#include "supervision/process_groups.h"
#include "support/qt_gtest_printers.h"
#include "support/run_state_access.h"
#include "support/temp_folder.h"
#include "support/wait_until.h"
#include "ui/support/gui_fixture.h"
#include "ui/tray/tray_menu.h"

#include <QMenu>

#include <gtest/gtest.h>

namespace {

// The menu as a panel lists it: titles, "-" for dividers, submenus as "title [entries]".
QStringList entries(const QMenu* menu)
{
    QStringList texts;
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator())
            texts.append(QStringLiteral("-"));
        else if (action->menu())
            texts.append(action->text() + QStringLiteral(" [") +
                         entries(action->menu()).join(QStringLiteral(", ")) + u']');
        else
            texts.append(action->text());
    }
    return texts;
}

QAction* entry(const QMenu* menu, const QString& text)
{
    for (QAction* action : menu->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

QAction* submenuEntry(const QMenu* menu, const QString& title, const QString& text)
{
    const QAction* submenu = entry(menu, title);
    return submenu && submenu->menu() ? entry(submenu->menu(), text) : nullptr;
}

bool anyDisabled(const QMenu* menu)
{
    for (const QAction* action : menu->actions())
        if (!action->isEnabled() || (action->menu() && anyDisabled(action->menu())))
            return true;
    return false;
}

const QStringList fixedEntries{"-", "Show Main Window", "Stop All", "Rescan Folders",
                               "-", "Quit Tallowmere"};

QStringList withFixed(const QStringList& projects)
{
    return projects + fixedEntries;
}

const QString stopped = QStringLiteral("Start, -, Open in Browser, Open Explorer, -, "
                                       "Show in Tallowmere]");
const QString active = QStringLiteral("Stop, Restart, -, Open in Browser, Open Explorer, -, "
                                      "Show in Tallowmere]");

struct Hooked
{
    int shows = 0;
    int quits = 0;
    TrayMenu::Hooks hooks()
    {
        return {[this] { ++shows; }, [this] { ++quits; }};
    }
};

} // namespace

TEST(TrayMenu, MirrorsTheSidebarGroupsWithGlyphsAndPorts)
{
    GuiFixture empty;
    Hooked hooked;
    TrayMenu none(empty.ui(), hooked.hooks());
    EXPECT_EQ(entries(none.menu()), withFixed({"No projects yet"}));
    entry(none.menu(), QStringLiteral("No projects yet"))->trigger();
    EXPECT_EQ(hooked.shows + hooked.quits, 0);

    Project api = testProject("/s/api", "api", "/s");
    api.port = 8787;
    Project beta = testProject("/s/beta", "beta", "/s");
    beta.port = 9000;
    GuiFixture fixture(
        {{"/s"},
         {testProject("/s/zeta", "zeta", "/s", true), api, beta, testProject("/s/web", "web", "/s"),
          testProject("/s/old", "old", "/s", false, true)}});
    TrayMenu tray(fixture.ui(), hooked.hooks());
    // Nothing runs: one group, by name, the hidden project left out; a stopped project shows no
    // port even when one is configured.
    EXPECT_EQ(entries(tray.menu()), withFixed({"○  zeta [" + stopped, "-", "○  api [" + stopped,
                                               "○  beta [" + stopped, "○  web [" + stopped}));

    ProjectRuntime* apiRuntime = fixture.model().runtimeFor("/s/api");
    RunStateTestAccess::setStatus(*apiRuntime, ProjectStatus::running());
    RunStateTestAccess::setUrl(*apiRuntime, QUrl("http://localhost:8787"));
    fixture.setStatus("/s/beta", ProjectStatus::starting()); // no address yet: configured port
    fixture.setStatus("/s/web", ProjectStatus::error("Exited with code 1"));
    fixture.model().setShowHidden(true);
    const QStringList running =
        withFixed({"○  zeta [" + stopped, "-", "●  api  :8787 [" + active,
                   "◐  beta  :9000 [" + active, "-", "○  old [" + stopped, "○  web [" + stopped});
    WAIT_UNTIL(entries(tray.menu()) == running, 5000);
    EXPECT_FALSE(anyDisabled(tray.menu()));

    // The same project stopped again: hollow circle, no port, back among the rest.
    RunStateTestAccess::setStatus(*apiRuntime, ProjectStatus::stopped());
    RunStateTestAccess::setUrl(*apiRuntime, std::nullopt);
    fixture.model().setShowHidden(false);
    WAIT_UNTIL(entries(tray.menu()) ==
                   withFixed({"○  zeta [" + stopped, "-", "◐  beta  :9000 [" + active, "-",
                              "○  api [" + stopped, "○  web [" + stopped}),
               5000);
}

TEST(TrayMenu, ProjectsSharingANameAreToldApartByTheirFolders)
{
    Hooked hooked;
    GuiFixture fixture({{},
                        {testProject("/home/dev/aurora/api", "api"),
                         testProject("/home/dev/ember/api", "api"), testProject("/s/web", "web")}});
    TrayMenu tray(fixture.ui(), hooked.hooks());
    EXPECT_EQ(entries(tray.menu()),
              withFixed({"○  api  (aurora/api) [" + stopped, "○  api  (ember/api) [" + stopped,
                         "○  web [" + stopped}));
}

TEST(TrayMenu, EntriesActOnTheModelAndOpenAddressesOnlyWhenThereIsOne)
{
    TempFolder sites;
    // Records its stop, takes a moment to go, and records that it has gone.
    const QByteArray server = "trap 'echo \"stop $NAME\" >> ../journal; sleep 0.3; "
                              "echo \"gone $NAME\" >> ../journal; exit 0' TERM\n"
                              "echo ready; while :; do sleep 0.05; done\n";
    QList<Project> projects;
    for (const QString& name : {QStringLiteral("alpha"), QStringLiteral("bravo")}) {
        Project project = testProject(sites.makeDir(name), name);
        project.runModeOverride = RunModeKind::custom;
        project.customCommand = QStringLiteral("NAME=") + name + u' ' +
                                sites.writeScript(name + QStringLiteral("/server.sh"), server);
        projects.append(project);
    }
    GuiFixture fixture({{}, projects});
    Hooked hooked;
    TrayMenu tray(fixture.ui(), hooked.hooks());
    AppModel& model = fixture.model();
    const QString alpha = projects[0].path;
    const QString bravo = projects[1].path;

    submenuEntry(tray.menu(), "○  alpha", "Open in Browser")->trigger();
    submenuEntry(tray.menu(), "○  alpha", "Open Explorer")->trigger();
    EXPECT_TRUE(fixture.desktop().workspace.nothingHappened()); // no address: nothing happens

    submenuEntry(tray.menu(), "○  bravo", "Start")->trigger();
    submenuEntry(tray.menu(), "○  alpha", "Start")->trigger();
    WAIT_UNTIL(model.runtimeFor(alpha)->managed() && model.runtimeFor(bravo)->managed(), 10000);
    WAIT_UNTIL(model.runtimeFor(alpha)->log()->lines().size() > 1 &&
                   model.runtimeFor(bravo)->log()->lines().size() > 1,
               10000);

    RunStateTestAccess::setUrl(*model.runtimeFor(alpha), QUrl("http://localhost:8787/"));
    WAIT_UNTIL(submenuEntry(tray.menu(), "◐  alpha  :8787", "Open Explorer") != nullptr, 5000);
    submenuEntry(tray.menu(), "◐  alpha  :8787", "Open in Browser")->trigger();
    submenuEntry(tray.menu(), "◐  alpha  :8787", "Open Explorer")->trigger();
    EXPECT_EQ(fixture.desktop().workspace.openedAddresses(),
              (QList<QUrl>{QUrl("http://localhost:8787/"),
                           QUrl("http://localhost:8787/cdn-cgi/explorer")}));

    // Stop All: in registry order, each stop over before the next begins.
    entry(tray.menu(), "Stop All")->trigger();
    WAIT_UNTIL(!model.runtimeFor(alpha)->status().isActive() &&
                   !model.runtimeFor(bravo)->status().isActive(),
               15000);
    // (A group's second SIGTERM, after its leader has gone, runs the trap again.)
    QStringList journal = QString::fromUtf8(readWholeFile(sites.filePath("journal"))).split(u'\n');
    journal.removeDuplicates();
    EXPECT_EQ(journal, (QStringList{"stop alpha", "gone alpha", "stop bravo", "gone bravo", ""}));

    // Show in Tallowmere selects the project and opens the window; Quit asks the shell.
    WAIT_UNTIL(submenuEntry(tray.menu(), "○  bravo", "Show in Tallowmere") != nullptr, 5000);
    submenuEntry(tray.menu(), "○  bravo", "Show in Tallowmere")->trigger();
    EXPECT_EQ(model.selection(), bravo);
    EXPECT_EQ(hooked.shows, 1);
    entry(tray.menu(), "Show Main Window")->trigger();
    entry(tray.menu(), "Quit Tallowmere")->trigger();
    EXPECT_EQ(hooked.shows, 2);
    EXPECT_EQ(hooked.quits, 1);
    EXPECT_EQ(entry(tray.menu(), "Quit Tallowmere")->shortcut(), QKeySequence("Ctrl+Q"));
}
