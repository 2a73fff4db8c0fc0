#include "base/deliver.h"
#include "runs/server_activity.h"
#include "startup_fixture.h"
#include "supervision/external/proc_process_table.h"
#include "supervision/external/process_usage.h"
#include "support/run_state_access.h"

#include <QProcess>
#include <QThreadPool>

#include <csignal>
#include <unistd.h>

// The memory and processor share of a project's server, measured in the background into its
// run state.

namespace {

// A shell leading a process group of its own with two sleeping children, as a dev server
// started by the application leads its group.
class ProcessGroup
{
public:
    ProcessGroup()
    {
        process_.setChildProcessModifier([] { ::setpgid(0, 0); });
        process_.start(
            QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"), QStringLiteral("sleep 60 & sleep 60 & echo up; wait")});
        process_.waitForReadyRead(10000);
    }
    ~ProcessGroup()
    {
        ::killpg(leader(), SIGKILL);
        process_.waitForFinished(10000);
    }
    qint32 leader() const { return qint32(process_.processId()); }
    // The shell and both children, which have become sleep: until their exec a child shares
    // the shell's pages, and the group's proportional size is about half of what it settles to.
    bool ready() const
    {
        ProcProcessTable table;
        int members = 0;
        int sleeping = 0;
        for (qint32 pid : table.listAllPIDs()) {
            if (table.processGroup(pid) != leader())
                continue;
            ++members;
            sleeping += table.name(pid) == QLatin1String("sleep");
        }
        return members == 3 && sleeping == 2;
    }

private:
    QProcess process_;
};

// Waits until every background task has ended and its continuation has reached the main
// thread.
void settle()
{
    QThreadPool::globalInstance()->waitForDone(30000);
    QTest::qWait(20);
}

} // namespace

TEST_F(StartupTest, AManagedServerIsMeasuredOverItsWholeProcessGroup)
{
    const QString folder = registerProject();
    AppModel model(startupContext(fakeShell("'A=1'")));
    ProcessGroup group;
    WAIT_UNTIL(group.ready(), 10000);
    ProjectRuntime* runtime = model.runtimeFor(folder);
    RunStateTestAccess::setPid(*runtime, group.leader());
    RunStateTestAccess::setManaged(*runtime, true);
    RunStateTestAccess::setStatus(*runtime, ProjectStatus::running());

    QSignalSpy changed(runtime, &ProjectRuntime::memoryBytesChanged);
    model.refreshUsage(folder);
    ASSERT_TRUE(changed.wait(30000));
    ASSERT_TRUE(runtime->memoryBytes().has_value());
    const std::optional<ProcessUsage> leaderAlone = ProcProcessTable().usage(group.leader());
    ASSERT_TRUE(leaderAlone.has_value());
    // The shell and its two children: more than the leader, close to a measurement here.
    EXPECT_GT(*runtime->memoryBytes(), leaderAlone->memoryBytes);
    const quint64 here = usageOfGroup(ProcProcessTable(), group.leader()).memoryBytes;
    EXPECT_GT(*runtime->memoryBytes(), here / 2);
    EXPECT_LT(*runtime->memoryBytes(), here * 2);
    EXPECT_FALSE(runtime->activity()->cpuPercent()) << "one pass is no share";

    // The next pass gives the share since this one; a second look follows only when asked
    // for every server and this one was not measured lately.
    QSignalSpy shared(runtime->activity(), &ServerActivity::cpuPercentChanged);
    bool refreshed = false;
    deliverTo(&model, model.refreshUsageOfActive(), [&] { refreshed = true; });
    WAIT_UNTIL(refreshed, 30000);
    ASSERT_TRUE(runtime->activity()->cpuPercent());
    EXPECT_GE(*runtime->activity()->cpuPercent(), 0.0);
    EXPECT_EQ(shared.size(), 1);

    // A restart on another group: the old group's pass that comes back after it is dropped.
    const std::optional<qint64> sampledAt = runtime->activity()->cpuSampledAtMs();
    refreshed = false;
    deliverTo(&model, model.refreshUsage(folder), [&] { refreshed = true; });
    RunStateTestAccess::setPid(*runtime, group.leader() + 1);
    WAIT_UNTIL(refreshed, 30000);
    EXPECT_EQ(runtime->activity()->cpuSampledAtMs(), sampledAt);
}

TEST_F(StartupTest, AServerFoundElsewhereIsMeasuredByItsOwnProcesses)
{
    const QString folder = registerProject();
    AppModel model(startupContext(fakeShell("'A=1'")));
    ProcessGroup group;
    WAIT_UNTIL(group.ready(), 10000);
    ProjectRuntime* runtime = model.runtimeFor(folder);
    RunStateTestAccess::setExternal(*runtime, true);
    // The leader only, and a pid that names no process: it counts as nothing.
    RunStateTestAccess::setExternalPIDs(*runtime, {group.leader(), 0x3ffffff0});
    RunStateTestAccess::setStatus(*runtime, ProjectStatus::running());

    model.refreshUsage(folder);
    WAIT_UNTIL(runtime->memoryBytes().has_value(), 30000);
    EXPECT_GT(*runtime->memoryBytes(), 0u);
    EXPECT_LT(*runtime->memoryBytes(), usageOfGroup(ProcProcessTable(), group.leader()).memoryBytes)
        << "the leader alone, not its whole group";
}

TEST_F(StartupTest, AStoppedProjectShowsNoMemory)
{
    const QString folder = registerProject();
    AppModel model(startupContext(fakeShell("'A=1'")));
    ProjectRuntime* runtime = model.runtimeFor(folder);
    RunStateTestAccess::setMemoryBytes(*runtime, 1234);
    model.refreshUsage(folder);
    EXPECT_FALSE(runtime->memoryBytes().has_value());

    RunStateTestAccess::setMemoryBytes(*runtime, 1234);
    RunStateTestAccess::setStatus(*runtime,
                                  ProjectStatus::error(QStringLiteral("Exited with code 1")));
    model.refreshUsage(folder);
    EXPECT_FALSE(runtime->memoryBytes().has_value());
}

TEST_F(StartupTest, AMeasurementThatEndsAfterTheServerStoppedIsDropped)
{
    const QString folder = registerProject();
    AppModel model(startupContext(fakeShell("'A=1'")));
    ProcessGroup group;
    ProjectRuntime* runtime = model.runtimeFor(folder);
    RunStateTestAccess::setPid(*runtime, group.leader());
    RunStateTestAccess::setManaged(*runtime, true);
    RunStateTestAccess::setStatus(*runtime, ProjectStatus::running());

    model.refreshUsage(folder);
    // The exit arrives before the measurement is back.
    RunStateTestAccess::setManaged(*runtime, false);
    RunStateTestAccess::setPid(*runtime, std::nullopt);
    RunStateTestAccess::setStatus(*runtime, ProjectStatus::stopped());
    settle();
    EXPECT_FALSE(runtime->memoryBytes().has_value());
}

TEST_F(StartupTest, AMeasurementOfARemovedProjectCreatesNoRunState)
{
    // Added by hand (no root), so it can be removed.
    const QString folder = makeProject(QStringLiteral("solo"), QStringLiteral("solo"));
    saveRegistry({{}, {project(folder, QStringLiteral("solo"))}});
    AppModel model(startupContext(fakeShell("'A=1'")));
    ProcessGroup group;
    ProjectRuntime* runtime = model.runtimeFor(folder);
    RunStateTestAccess::setExternal(*runtime, true);
    RunStateTestAccess::setExternalPIDs(*runtime, {group.leader()});
    RunStateTestAccess::setStatus(*runtime, ProjectStatus::running());

    model.refreshUsage(folder);
    model.removeProject(folder);
    ASSERT_FALSE(model.runtimes().contains(folder));
    settle();
    EXPECT_FALSE(model.runtimes().contains(folder));
}
