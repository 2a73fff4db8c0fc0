#include "runs/project_runtime.h"
#include "supervision/process_groups.h"
#include "support/temp_folder.h"
#include "support/wait_until.h"
#include "ui/app_lifecycle.h"
#include "ui/support/gui_fixture.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QWidget>

#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>

namespace {

// Projects whose servers are small scripts; their process groups are killed if a test fails.
struct Servers
{
    explicit Servers(int count)
    {
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("server%1").arg(i);
            Project project = testProject(sites.makeDir(name), name);
            project.runModeOverride = RunModeKind::custom;
            project.customCommand = sites.writeScript(name + QStringLiteral("/server.sh"),
                                                      "echo ready; while :; do sleep 0.05; done\n");
            projects.append(project);
        }
    }
    ~Servers()
    {
        for (const qint32 group : std::as_const(groups))
            ProcessGroups::signalGroup(group, SIGKILL);
    }

    // Starts every project and waits until each group is up.
    bool startAll(AppModel& model)
    {
        for (const Project& project : std::as_const(projects))
            model.startProject(project.path);
        const bool up = QTest::qWaitFor(
            [&] {
                for (const Project& project : std::as_const(projects))
                    if (!model.runtimeFor(project.path)->pid())
                        return false;
                return true;
            },
            10000);
        for (const Project& project : std::as_const(projects))
            if (const auto pid = model.runtimeFor(project.path)->pid())
                groups.append(*pid);
        return up;
    }
    bool anyAlive() const
    {
        return std::any_of(groups.cbegin(), groups.cend(),
                           [](qint32 group) { return ProcessGroups::groupAlive(group); });
    }

    TempFolder sites;
    QList<Project> projects;
    QList<qint32> groups;
};

// The exit code the lifecycle asked for, with whether a server group was still alive then.
struct ExitRecord
{
    std::optional<int> code;
    bool serversAliveAtExit = false;
};

} // namespace

TEST(AppLifecycle, QuitWithNothingRunningEndsAtOnceWithoutAsking)
{
    GuiFixture fixture;
    ExitRecord exit;
    AppLifecycle lifecycle(fixture.model(), [&](int code) { exit.code = code; });
    lifecycle.requestQuit();
    WAIT_UNTIL(exit.code.has_value(), 5000);
    EXPECT_EQ(exit.code, 0);
    EXPECT_TRUE(fixture.desktop().alerts.shown().isEmpty());
}

TEST(AppLifecycle, QuitAsksWhileServersRunAndEndsOnlyOnceTheyAreGone)
{
    Servers servers(2);
    GuiFixture fixture({{}, servers.projects});
    ExitRecord exit;
    AppLifecycle lifecycle(fixture.model(), [&](int code) {
        exit.code = code;
        exit.serversAliveAtExit = servers.anyAlive();
    });
    ASSERT_TRUE(servers.startAll(fixture.model()));

    // Cancel keeps everything running.
    lifecycle.requestQuit();
    ASSERT_EQ(fixture.desktop().alerts.pendingCount(), 1);
    EXPECT_EQ(fixture.desktop().alerts.shown().first().message,
              QStringLiteral("Stop 2 running projects and quit?"));
    lifecycle.requestQuit(); // a second request while the question is open asks nothing more
    EXPECT_EQ(fixture.desktop().alerts.shown().size(), 1);
    ASSERT_TRUE(fixture.desktop().alerts.answerPending(1));
    QTest::qWait(200);
    EXPECT_FALSE(exit.code.has_value());
    EXPECT_FALSE(lifecycle.isQuitting());
    EXPECT_FALSE(std::any_of(servers.groups.cbegin(), servers.groups.cend(),
                             [](qint32 group) { return !ProcessGroups::groupAlive(group); }));

    // The affirmative answer stops both and only then ends the process.
    lifecycle.requestQuit();
    ASSERT_TRUE(fixture.desktop().alerts.answerPending(0));
    WAIT_UNTIL(exit.code.has_value(), 15000);
    EXPECT_EQ(exit.code, 0);
    EXPECT_FALSE(exit.serversAliveAtExit);
}

TEST(AppLifecycle, SessionEndStopsEveryServerWithoutAsking)
{
    Servers servers(3);
    GuiFixture fixture({{}, servers.projects});
    ExitRecord exit;
    AppLifecycle lifecycle(fixture.model(), [&](int code) {
        exit.code = code;
        exit.serversAliveAtExit = servers.anyAlive();
    });
    ASSERT_TRUE(servers.startAll(fixture.model()));
    lifecycle.requestQuit(); // the question is still open when the session ends
    lifecycle.endSession();
    WAIT_UNTIL(exit.code.has_value(), 15000);
    EXPECT_EQ(exit.code, 0);
    EXPECT_FALSE(exit.serversAliveAtExit);
    // The late answer changes nothing.
    fixture.desktop().alerts.answerPending(0);
    QTest::qWait(50);
    EXPECT_EQ(exit.code, 0);
}

TEST(AppLifecycle, ClosingTheWindowHidesItIntoTheTrayOrQuitsWithoutOne)
{
    GuiFixture fixture;
    ExitRecord exit;
    AppLifecycle lifecycle(fixture.model(), [&](int code) { exit.code = code; });
    QWidget window;
    window.show();

    lifecycle.watchMainWindow(&window, true);
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(window.isVisible());
    QTest::qWait(50);
    EXPECT_FALSE(exit.code.has_value());

    window.show();
    lifecycle.watchMainWindow(&window, false);
    EXPECT_FALSE(window.close()); // the quit decides; the window stays until the process ends
    EXPECT_TRUE(window.isVisible());
    WAIT_UNTIL(exit.code.has_value(), 5000);
    EXPECT_EQ(exit.code, 0);
}
