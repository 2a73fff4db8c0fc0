#include "child_recorder.h"
#include "supervision/child_spawn.h"
#include "supervision/external/proc_stat.h"
#include "supervision/process_groups.h"
#include "supervision/shell_environment.h"
#include "support/qt_gtest_printers.h"
#include "support/temp_folder.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QThread>

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace {

Environment plainEnvironment()
{
    return ShellEnvironment::fallbackEnvironment();
}

// Whether a process exists and is not a zombie.
bool processLiving(qint32 pid)
{
    const std::optional<ProcStat> stat = readProcStat(pid);
    return stat && stat->living();
}

qsizetype threadCount()
{
    return QDir(QStringLiteral("/proc/self/task"))
        .entryList(QDir::NoDotAndDotDot | QDir::Dirs)
        .size();
}

// The pipes among the open descriptors of a process ("self" or a pid), beyond 0, 1 and 2.
QSet<QByteArray> pipesOf(const QString& process)
{
    QSet<QByteArray> pipes;
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(process));
    for (const QString& fd : fds.entryList(QDir::NoDotAndDotDot | QDir::System)) {
        char target[256] = {};
        if (fd.toInt() > 2 &&
            ::readlink(QFile::encodeName(fds.absoluteFilePath(fd)).constData(), target,
                       sizeof target - 1) > 0 &&
            QByteArray(target).startsWith("pipe:"))
            pipes.insert(QByteArray(target));
    }
    return pipes;
}

class ProcessManagerTest : public ::testing::Test
{
protected:
    // Runs `command` to its end and records it.
    void run(const QString& command, ChildRecorder& recorder, const QString& id = "p")
    {
        lastPid = startedPid(manager.start(id, command, QDir::tempPath(), plainEnvironment(),
                                           &recorder, recorder.callbacks()));
        ASSERT_GT(lastPid, 0);
        ASSERT_TRUE(recorder.waitForExit());
    }

    ProcessManager manager;
    qint32 lastPid = -1;
};

} // namespace

TEST_F(ProcessManagerTest, OutputIsSplitCleanedAndCompleteBeforeTheExit)
{
    ChildRecorder redraw;
    run("printf 'a\\rb\\rc\\n'", redraw);
    EXPECT_EQ(redraw.out, QStringList{"c"});

    ChildRecorder chunks;
    run("printf 'hel'; sleep 0.2; printf 'lo\\nwor'; sleep 0.2; printf 'ld\\n\\nend'", chunks);
    EXPECT_EQ(chunks.out, (QStringList{"hello", "world", "", "end"}));

    ChildRecorder coloured;
    run("printf '\\033[31mred\\033[0m\\n\\033[2K\\033[1G\\n' >&2; echo plain", coloured);
    EXPECT_EQ(coloured.err, (QStringList{"red", ""}));
    EXPECT_EQ(coloured.out, QStringList{"plain"});
}

TEST_F(ProcessManagerTest, ManyLinesArriveInOrderInBatchesAndBeforeTheExit)
{
    ChildRecorder recorder;
    run("seq 1 50000; echo tail >&2; exit 1", recorder);
    ASSERT_EQ(recorder.out.size(), 50000);
    for (int i = 0; i < 50000; ++i)
        ASSERT_EQ(recorder.out.at(i), QString::number(i + 1));
    EXPECT_EQ(recorder.err, QStringList{"tail"});
    EXPECT_EQ(recorder.code, 1);
    EXPECT_EQ(recorder.linesAtExit, 50001);
    EXPECT_LT(recorder.batches, 50000 / 10) << "lines must not travel one event each";
}

TEST_F(ProcessManagerTest, ExitCodesOfNormalExitsAndSignals)
{
    const QList<std::pair<QString, int>> cases{
        {"exit 3", 3}, {"kill -INT $$", 130}, {"kill -KILL $$", 137}, {"kill -TERM $$", 143}};
    for (const auto& [command, expected] : cases) {
        ChildRecorder recorder;
        run(command, recorder, command);
        EXPECT_EQ(recorder.code, expected) << command.toStdString();
        EXPECT_FALSE(recorder.stopRequested);
    }
}

TEST_F(ProcessManagerTest, CommandRunsInItsFolderWithTheGivenEnvironmentAndNoInput)
{
    TempFolder folder;
    ChildRecorder recorder;
    Environment environment{{"PATH", "/usr/bin:/bin"}, {"GREETING", "a=b c"}};
    ASSERT_GT(startedPid(manager.start("p", "pwd; echo \"$GREETING\"; cat; echo eof", folder.path(),
                                       environment, &recorder, recorder.callbacks())),
              0);
    ASSERT_TRUE(recorder.waitForExit());
    EXPECT_EQ(recorder.out, (QStringList{folder.path(), "a=b c", "eof"}));
}

TEST_F(ProcessManagerTest, SecondStartWhileLiveFailsAndAStopIsReportedAsRequested)
{
    ChildRecorder first;
    const qint32 pid = startedPid(manager.start("p", "echo up; sleep 60", QDir::tempPath(),
                                                plainEnvironment(), &first, first.callbacks()));
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return first.out == QStringList{"up"}; }, 10000));

    ChildRecorder second;
    QFuture<StartResult> again = manager.start("p", "echo never", QDir::tempPath(),
                                               plainEnvironment(), &second, second.callbacks());
    again.waitForFinished();
    ASSERT_TRUE(again.result().error.has_value());
    EXPECT_EQ(again.result().error->message, "Already running");

    QFuture<void> stopped = manager.stop("p");
    stopped.waitForFinished();
    EXPECT_FALSE(ProcessGroups::groupAlive(pid));
    ASSERT_TRUE(first.waitForExit());
    EXPECT_EQ(first.code, 143);
    EXPECT_TRUE(first.stopRequested);
    EXPECT_TRUE(second.out.isEmpty());

    // Once the exit was seen, the id can start again, and that run is not marked as stopped.
    ChildRecorder third;
    run("exit 5", third);
    EXPECT_EQ(third.code, 5);
    EXPECT_FALSE(third.stopRequested);
}

TEST_F(ProcessManagerTest, ServerIgnoringSigtermIsKilledAfterTheSigtermPolls)
{
    ChildRecorder recorder;
    const qint32 pid = startedPid(
        manager.start("p", "trap '' TERM; echo up; while :; do sleep 0.1; done", QDir::tempPath(),
                      plainEnvironment(), &recorder, recorder.callbacks()));
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !recorder.out.isEmpty(); }, 10000));

    QElapsedTimer clock;
    clock.start();
    QFuture<void> stopped = manager.stop("p");
    ASSERT_TRUE(recorder.waitForExit(30000));
    const qint64 elapsed = clock.elapsed();
    EXPECT_EQ(recorder.code, 137);
    EXPECT_TRUE(recorder.stopRequested);
    // SIGKILL comes only after 50 polls 100 ms apart: never before 5 s.
    EXPECT_GE(elapsed, 4900);
    stopped.waitForFinished();
    EXPECT_FALSE(ProcessGroups::groupAlive(pid));
}

TEST_F(ProcessManagerTest, GrandchildrenAreSignalledWhenTheLeaderExits)
{
    // One grandchild quits on SIGTERM, the other ignores it and needs the SIGKILL 3 s later.
    // The leader waits until the stubborn one has set up its trap.
    TempFolder folder;
    const QString ready = folder.filePath("ready");
    ChildRecorder recorder;
    run("sleep 60 & echo $!; (trap '' TERM; touch '" + ready + "'; exec sleep 60) & echo $!; " +
            "while [ ! -e '" + ready + "' ]; do sleep 0.01; done; exit 0",
        recorder);
    ASSERT_EQ(recorder.out.size(), 2);
    const qint32 polite = recorder.out.at(0).toInt();
    const qint32 stubborn = recorder.out.at(1).toInt();
    EXPECT_EQ(recorder.code, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !processLiving(polite); }, 10000));
    EXPECT_TRUE(processLiving(stubborn)) << "SIGKILL must wait for the grace period";
    // Until that SIGKILL the leader stays unreaped, so that its pid, the group's id, cannot
    // pass to a new process meanwhile.
    const std::optional<ProcStat> leader = readProcStat(lastPid);
    ASSERT_TRUE(leader);
    EXPECT_EQ(leader->state, 'Z');
    EXPECT_TRUE(QTest::qWaitFor([&] { return !processLiving(stubborn); }, 15000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !readProcStat(lastPid); }, 5000));
}

TEST_F(ProcessManagerTest, AStoppedGroupStillQuitsOnSigterm)
{
    // A server stopped by SIGSTOP (or a terminal's Ctrl-Z) leaves SIGTERM pending until it runs
    // again: without SIGCONT it would only end by the SIGKILL 5 s later, as 137. (The leader
    // execs: a shell stopped while it waits for a vfork child to exec would stay in state D.)
    ChildRecorder recorder;
    const qint32 pid =
        startedPid(manager.start("p", "echo up; exec sleep 60", QDir::tempPath(),
                                 plainEnvironment(), &recorder, recorder.callbacks()));
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.out == QStringList{"up"}; }, 10000));
    ASSERT_EQ(::killpg(pid, SIGSTOP), 0);
    char state = 0;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const std::optional<ProcStat> stat = readProcStat(pid);
            state = stat ? stat->state : '-';
            return state == 'T';
        },
        10000))
        << "the leader's state stayed " << state;

    QElapsedTimer clock;
    clock.start();
    manager.stop("p").waitForFinished();
    ASSERT_TRUE(recorder.waitForExit());
    EXPECT_EQ(recorder.code, 143);
    EXPECT_TRUE(recorder.stopRequested);
    EXPECT_LT(clock.elapsed(), 4000);
    EXPECT_FALSE(ProcessGroups::groupAlive(pid));
}

TEST_F(ProcessManagerTest, ManyChildrenShareOneThreadAndAStalledReceiverHoldsUpOnlyItsOwn)
{
    // A first child starts the shared reading thread, if nothing here has yet.
    ChildRecorder first;
    run("echo first", first);
    // Twenty servers print at once; their output and exits arrive on another thread's loop.
    QThread receiving;
    receiving.start();
    const qsizetype threadsBefore = threadCount();
    QObject context;
    context.moveToThread(&receiving);
    std::atomic<int> lines = 0;
    std::atomic<int> exits = 0;
    for (int i = 0; i < 20; ++i) {
        const ChildCallbacks callbacks{
            [&](const OutputLines& delivered) { lines += int(delivered.size()); },
            [&](int, bool) { ++exits; }};
        ASSERT_GT(
            startedPid(manager.start(QStringLiteral("quick%1").arg(i), "sleep 0.5; seq 1 1000",
                                     QDir::tempPath(), plainEnvironment(), &context, callbacks)),
            0);
    }
    // This one floods a receiver that does not run its loop for now (this thread).
    ChildRecorder flood;
    const qint32 floodPid =
        startedPid(manager.start("flood", "seq 1 500000; seq 1 100000 >&2", QDir::tempPath(),
                                 plainEnvironment(), &flood, flood.callbacks()));
    ASSERT_GT(floodPid, 0);
    EXPECT_EQ(threadCount(), threadsBefore) << "a child must cost no thread of its own";

    const QDeadlineTimer deadline(30000);
    while ((exits < 20 || lines < 20000) && !deadline.hasExpired())
        QThread::msleep(20);
    EXPECT_EQ(exits.load(), 20);
    EXPECT_EQ(lines.load(), 20000);
    // The flood is held at its full pipe, not buffered without end.
    EXPECT_TRUE(processLiving(floodPid));
    EXPECT_TRUE(flood.out.isEmpty());

    receiving.quit();
    receiving.wait();
    // Read on once this thread takes the lines; those that are late for the exit report
    // (held for at most 2 s) still follow it.
    EXPECT_TRUE(flood.waitForExit(60000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return flood.out.size() >= 500000; }, 60000));
    ASSERT_EQ(flood.out.size(), 500000);
    EXPECT_EQ(flood.out.first(), "1");
    EXPECT_EQ(flood.out.last(), "500000");
    EXPECT_TRUE(QTest::qWaitFor([&] { return flood.err.size() >= 100000; }, 60000));
    EXPECT_EQ(flood.err.size(), 100000);
}

TEST_F(ProcessManagerTest, StopAllStopsEveryLiveGroupAsRequested)
{
    ChildRecorder a;
    ChildRecorder b;
    ASSERT_GT(startedPid(manager.start("a", "sleep 60", QDir::tempPath(), plainEnvironment(), &a,
                                       a.callbacks())),
              0);
    ASSERT_GT(startedPid(manager.start("b", "sleep 60 & wait", QDir::tempPath(), plainEnvironment(),
                                       &b, b.callbacks())),
              0);
    manager.stopAll().waitForFinished();
    ASSERT_TRUE(a.waitForExit());
    ASSERT_TRUE(b.waitForExit());
    EXPECT_TRUE(a.stopRequested);
    EXPECT_TRUE(b.stopRequested);
    ASSERT_TRUE(QTest::qWaitFor([&] { return manager.liveChildren().result().isEmpty(); }, 5000));
    // Stopping what is not live does nothing and finishes.
    manager.stop("a").waitForFinished();
    manager.stopAll().waitForFinished();
}

TEST_F(ProcessManagerTest, MissingWorkingFolderGivesTheSystemsText)
{
    ChildRecorder recorder;
    QFuture<StartResult> started =
        manager.start("p", "echo never", "/nonexistent/tallowmere", plainEnvironment(), &recorder,
                      recorder.callbacks());
    started.waitForFinished();
    ASSERT_TRUE(started.result().error.has_value());
    EXPECT_EQ(started.result().error->message,
              QStringLiteral("posix_spawn failed: ") + QString::fromLocal8Bit(strerror(ENOENT)));
    EXPECT_TRUE(manager.liveChildren().result().isEmpty());
}

TEST(ProcessManagerConcurrency, ChildrenStartedAtTheSameMomentHoldOnlyTheirOwnPipes)
{
    // Two managers spawn on two threads at once. A child that inherited the other's pipe
    // would keep that stream open after its owner exits.
    // Pipes the test process already had (from whoever started it) are not ours.
    const QSet<QByteArray> inherited = pipesOf("self");
    ProcessManager left;
    ProcessManager right;
    for (int round = 0; round < 10; ++round) {
        ChildRecorder quick;
        ChildRecorder slow;
        const QString id = QString::number(round);
        QFuture<StartResult> slowStart = right.start(id, "exec sleep 60", QDir::tempPath(),
                                                     plainEnvironment(), &slow, slow.callbacks());
        QFuture<StartResult> quickStart = left.start(id, "echo done", QDir::tempPath(),
                                                     plainEnvironment(), &quick, quick.callbacks());
        const qint32 slowPid = startedPid(slowStart);
        ASSERT_GT(startedPid(quickStart), 0);
        ASSERT_GT(slowPid, 0);

        for (const QByteArray& pipe : pipesOf(QString::number(slowPid)))
            EXPECT_TRUE(inherited.contains(pipe)) << pipe.toStdString() << " leaked into a child";
        ASSERT_TRUE(quick.waitForExit());
        EXPECT_EQ(quick.out, QStringList{"done"});
        EXPECT_TRUE(processLiving(slowPid));
        right.stop(id).waitForFinished();
        ASSERT_TRUE(slow.waitForExit());
    }
}

TEST(ProcessManagerContext, OutputForAGoneContextIsDroppedWithoutStallingTheChild)
{
    ProcessManager manager;
    auto* context = new ChildRecorder;
    const qint32 pid = startedPid(manager.start("p", "seq 1 3000000", QDir::tempPath(),
                                                plainEnvironment(), context, context->callbacks()));
    ASSERT_GT(pid, 0);
    delete context;
    // The child can only exit if its output keeps being read.
    EXPECT_TRUE(QTest::qWaitFor([&] { return manager.liveChildren().result().isEmpty(); }, 60000));
}

TEST(ProcessGroups, AGroupOfOnlyZombiesCountsAsGone)
{
    TempFolder folder;
    const SpawnResult spawned = spawnShell("exec sleep 60", folder.path(), plainEnvironment());
    ASSERT_TRUE(std::holds_alternative<SpawnedChild>(spawned));
    const SpawnedChild child = std::get<SpawnedChild>(spawned);
    ::close(child.stdoutFd);
    ::close(child.stderrFd);
    EXPECT_TRUE(ProcessGroups::groupAlive(child.pid));

    ::kill(child.pid, SIGKILL);
    // Not reaped yet: the kernel still lists the group, but nothing in it runs.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !processLiving(child.pid); }, 5000));
    EXPECT_EQ(::killpg(child.pid, 0), 0);
    EXPECT_FALSE(ProcessGroups::groupAlive(child.pid));
    int status = 0;
    EXPECT_EQ(::waitpid(child.pid, &status, 0), child.pid);
    EXPECT_FALSE(ProcessGroups::groupAlive(child.pid));
}
