#include "child_recorder.h"
#include "supervision/child_spawn.h"
#include "supervision/process_groups.h"
#include "supervision/shell_environment.h"
#include "support/qt_gtest_printers.h"
#include "support/temp_folder.h"
#include "support/wait_until.h"

#include <QDir>

#include <csignal>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Qt's warnings from any thread, recorded while an instance lives.
class WarningLog
{
public:
    WarningLog()
    {
        {
            std::lock_guard lock(mutex_);
            messages_.clear();
        }
        previous_ = qInstallMessageHandler(&WarningLog::record);
    }
    ~WarningLog() { qInstallMessageHandler(previous_); }

    static QStringList messages()
    {
        std::lock_guard lock(mutex_);
        return messages_;
    }

private:
    static void record(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        if (type != QtDebugMsg && type != QtInfoMsg) {
            std::lock_guard lock(mutex_);
            messages_.append(text);
        }
        if (previous_)
            previous_(type, context, text);
    }

    static inline std::mutex mutex_;
    static inline QStringList messages_;
    static inline QtMessageHandler previous_ = nullptr;
};

// Kills the groups a failed test would otherwise leave running.
struct GroupsKilledAtEnd
{
    QList<pid_t> groups;
    ~GroupsKilledAtEnd()
    {
        for (pid_t group : groups)
            ProcessGroups::signalGroup(group, SIGKILL);
    }
};

// Escalation that never reaches SIGKILL on its own while a test runs: a group that dies
// got its SIGKILL from the manager's teardown.
TerminationTiming patientTiming()
{
    TerminationTiming timing;
    timing.termPolls = 1'000'000;
    timing.leftoverKillDelayMs = 100;
    return timing;
}

const QString stubbornServer =
    QStringLiteral("trap '' TERM; echo ready; while :; do sleep 0.05; done");

qint32 startAndAwaitReady(ProcessManager& manager, const QString& id, const QString& command,
                          ChildRecorder& recorder, const QString& folder = QDir::tempPath())
{
    const qint32 pid =
        startedPid(manager.start(id, command, folder, ShellEnvironment::fallbackEnvironment(),
                                 &recorder, recorder.callbacks()));
    if (pid > 0 && !QTest::qWaitFor([&] { return recorder.out.contains("ready"); }, 10000))
        return -1;
    return pid;
}

} // namespace

TEST(ProcessManagerTeardown, StopsUnderWayEndWithSigkillOnTheExecutorThread)
{
    WarningLog log;
    GroupsKilledAtEnd cleanup;
    auto manager = std::make_unique<ProcessManager>(patientTiming());

    ChildRecorder first;
    ChildRecorder second;
    const qint32 firstPid = startAndAwaitReady(*manager, "first", stubbornServer, first);
    const qint32 secondPid = startAndAwaitReady(*manager, "second", stubbornServer, second);
    ASSERT_GT(firstPid, 0);
    ASSERT_GT(secondPid, 0);
    cleanup.groups << firstPid << secondPid;

    // A group that this manager did not start, as left over from an earlier run.
    const SpawnResult spawned =
        spawnShell("trap '' TERM; while :; do sleep 0.05; done", QDir::tempPath(),
                   ShellEnvironment::fallbackEnvironment());
    ASSERT_TRUE(std::holds_alternative<SpawnedChild>(spawned));
    const SpawnedChild outside = std::get<SpawnedChild>(spawned);
    ::close(outside.stdoutFd);
    ::close(outside.stderrFd);
    cleanup.groups << outside.pid;

    QFuture<void> stopFirst = manager->stop("first");
    // Operations run in order: once this answers, the first stop's terminator is polling.
    manager->liveChildren().waitForFinished();
    QFuture<void> stopAll = manager->stopAll();
    QFuture<void> stopOutside = manager->terminateGroup(outside.pid);
    manager.reset();

    EXPECT_EQ(WarningLog::messages(), QStringList{});
    for (QFuture<void>* future : {&stopFirst, &stopAll, &stopOutside}) {
        EXPECT_TRUE(future->isFinished());
        EXPECT_FALSE(future->isCanceled());
    }
    WAIT_UNTIL(!ProcessGroups::groupAlive(firstPid) && !ProcessGroups::groupAlive(secondPid) &&
                   !ProcessGroups::groupAlive(outside.pid),
               10000);
    int status = 0;
    EXPECT_EQ(::waitpid(outside.pid, &status, 0), outside.pid);

    // The exit reports still arrive, marked as requested, after the manager is gone.
    ASSERT_TRUE(first.waitForExit(10000));
    ASSERT_TRUE(second.waitForExit(10000));
    EXPECT_EQ(first.code, 128 + SIGKILL);
    EXPECT_EQ(second.code, 128 + SIGKILL);
    EXPECT_TRUE(first.stopRequested);
    EXPECT_TRUE(second.stopRequested);
}

TEST(ProcessManagerTeardown, ChildrenNotAskedToStopAreStoppedBeforeTheManagerIsGone)
{
    GroupsKilledAtEnd cleanup;
    TerminationTiming timing;
    timing.termPolls = 5; // a stubborn group gets SIGKILL after half a second
    auto manager = std::make_unique<ProcessManager>(timing);
    ChildRecorder polite;
    ChildRecorder stubborn;
    const qint32 politePid = startAndAwaitReady(
        *manager, "polite",
        "trap 'echo bye; exit 0' TERM; echo ready; while :; do sleep 0.05; done", polite);
    const qint32 stubbornPid = startAndAwaitReady(*manager, "stubborn", stubbornServer, stubborn);
    ASSERT_GT(politePid, 0);
    ASSERT_GT(stubbornPid, 0);
    cleanup.groups << politePid << stubbornPid;

    manager.reset();
    // Both groups are gone when the destructor returns.
    EXPECT_FALSE(ProcessGroups::groupAlive(politePid));
    EXPECT_FALSE(ProcessGroups::groupAlive(stubbornPid));

    // Their last output and their exits still arrive, marked as requested.
    ASSERT_TRUE(polite.waitForExit(10000));
    ASSERT_TRUE(stubborn.waitForExit(10000));
    EXPECT_EQ(polite.out, (QStringList{"ready", "bye"}));
    EXPECT_EQ(polite.code, 0);
    EXPECT_EQ(stubborn.code, 128 + SIGKILL);
    EXPECT_TRUE(polite.stopRequested);
    EXPECT_TRUE(stubborn.stopRequested);
    EXPECT_EQ(polite.exits, 1);
}

TEST(ProcessManagerTeardown, ExitsRacingTheDestructionAreReportedExactlyOnce)
{
    WarningLog log;
    // Each child exits at about the moment its manager goes, so that some exits are seen
    // before the destruction, some during it and some after.
    for (int round = 0; round < 20; ++round) {
        auto manager = std::make_unique<ProcessManager>(patientTiming());
        ChildRecorder quick;
        ChildRecorder stopped;
        ASSERT_GT(startedPid(manager->start("quick", "exit 7", QDir::tempPath(),
                                            ShellEnvironment::fallbackEnvironment(), &quick,
                                            quick.callbacks())),
                  0);
        ASSERT_GT(startedPid(manager->start("stopped", "exec sleep 60", QDir::tempPath(),
                                            ShellEnvironment::fallbackEnvironment(), &stopped,
                                            stopped.callbacks())),
                  0);
        manager->stop("stopped");
        if (round % 2)
            QTest::qWait(round); // shifts the destruction against the exits
        manager.reset();

        ASSERT_TRUE(quick.waitForExit(10000)) << "round " << round;
        ASSERT_TRUE(stopped.waitForExit(10000)) << "round " << round;
        // Either it exited on its own, or the teardown stopped it first.
        EXPECT_TRUE(quick.code == 7 || (quick.code == 128 + SIGTERM && quick.stopRequested))
            << *quick.code;
        // SIGTERM or, when the teardown came first, SIGKILL.
        EXPECT_TRUE(stopped.code == 128 + SIGTERM || stopped.code == 128 + SIGKILL)
            << *stopped.code;
        EXPECT_TRUE(stopped.stopRequested);
        // A second report would come through the event loop: give it the chance.
        QTest::qWait(10);
        EXPECT_EQ(quick.exits, 1);
        EXPECT_EQ(stopped.exits, 1);
    }
    EXPECT_EQ(WarningLog::messages(), QStringList{});
}
