#include "child_recorder.h"
#include "supervision/live_groups.h"
#include "supervision/process_groups.h"
#include "supervision/shell_environment.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool isMarked(pid_t pgid)
{
    const std::vector<pid_t> groups = LiveGroups::marked();
    return std::find(groups.begin(), groups.end(), pgid) != groups.end();
}

// A shell running `body` as the leader of a group of its own, outside any manager.
pid_t spawnGroup(const char* body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        ::execl("/bin/sh", "sh", "-c", body, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::setpgid(pid, pid);
    return pid;
}

// Reaps a child of this test without blocking when it has not ended.
void reap(pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, WNOHANG);
}

} // namespace

TEST(LiveGroups, TheManagerMarksEachGroupUntilItsLeftoversAreDealtWith)
{
    TerminationTiming timing;
    timing.leftoverKillDelayMs = 200;
    ProcessManager manager(timing);
    ChildRecorder recorder;
    const qint32 pid = startedPid(
        manager.start(QStringLiteral("p"), QStringLiteral("sleep 30"), QDir::tempPath(),
                      ShellEnvironment::fallbackEnvironment(), &recorder, recorder.callbacks()));
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(isMarked(pid));
    ::kill(pid, SIGKILL);
    ASSERT_TRUE(recorder.waitForExit());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !isMarked(pid); }, 5000));
}

TEST(LiveGroups, StoppingNowEndsEveryMarkedGroupWithinTheDeadlineAndLeavesOthersAlone)
{
    const pid_t polite = spawnGroup("sleep 30");
    const pid_t stubborn = spawnGroup("trap '' TERM; while :; do sleep 0.05; done");
    const pid_t unmarked = spawnGroup("sleep 30");
    const pid_t gone = spawnGroup("exit 0");
    for (const pid_t pgid : {polite, stubborn, gone})
        LiveGroups::add(pgid);
    LiveGroups::add(unmarked);
    LiveGroups::remove(unmarked);
    QTest::qWait(200);
    reap(gone);

    QElapsedTimer elapsed;
    elapsed.start();
    std::vector<pid_t> stopped = LiveGroups::stopAllNow(300, 1500);
    EXPECT_LT(elapsed.elapsed(), 1500 + 500);
    for (const pid_t pgid : {polite, stubborn})
        reap(pgid);
    std::sort(stopped.begin(), stopped.end());
    std::vector<pid_t> expected{polite, stubborn};
    std::sort(expected.begin(), expected.end());
    // The group already gone is not reported as stopped here: nothing was left to stop.
    EXPECT_EQ(stopped, expected);
    EXPECT_FALSE(ProcessGroups::groupAlive(stubborn)) << "SIGKILL after the SIGTERM time";
    EXPECT_TRUE(ProcessGroups::groupAlive(unmarked));

    ::kill(-unmarked, SIGKILL);
    reap(unmarked);
    for (const pid_t pgid : {polite, stubborn, gone})
        LiveGroups::remove(pgid);
}

TEST(LiveGroups, AFatalSignalSendsSigtermToEveryMarkedGroupAndStillKillsTheProcess)
{
    TempFolder folder;
    const QByteArray noted = QFile::encodeName(folder.filePath(QStringLiteral("term")));
    for (const int fatal : {SIGSEGV, SIGABRT}) {
        SCOPED_TRACE(fatal);
        QFile::remove(QString::fromLocal8Bit(noted));
        // The crashing process is a child of the test: it marks a group, installs the handler
        // and dies of the signal.
        const QByteArray body = "trap 'echo TERM > " + noted + "; exit 0' TERM; sleep 30 & wait";
        const pid_t crashing = ::fork();
        if (crashing == 0) {
            const pid_t server = spawnGroup(body.constData());
            LiveGroups::add(server);
            LiveGroups::installFatalSignalHandler();
            ::usleep(300000); // the server's trap is in place
            ::raise(fatal);
            ::_exit(0); // not reached
        }
        int status = 0;
        ASSERT_EQ(::waitpid(crashing, &status, 0), crashing);
        // Dead of the signal, as without the handler; under a sanitizer, whose own handler is
        // the one restored, its report ends the process instead, with a failure code or by
        // aborting.
        const bool diedOfIt = WIFSIGNALED(status) && WTERMSIG(status) == fatal;
        const bool sanitizerEnded = (WIFEXITED(status) && WEXITSTATUS(status) != 0) ||
                                    (WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT);
        EXPECT_TRUE(diedOfIt || sanitizerEnded) << status;
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return readWholeFile(QString::fromLocal8Bit(noted)).startsWith("TERM"); }, 5000));
    }
}
