#include "runs/project_runtime.h"
#include "support/qt_gtest_printers.h"
#include "support/run_state_access.h"

#include <QSignalSpy>

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

bool nothingExists(qint32)
{
    return false;
}

// A runtime in the state of a managed server that reached its address.
void makeRunning(ProjectRuntime& runtime)
{
    RunStateTestAccess::setStatus(runtime, ProjectStatus::running());
    RunStateTestAccess::setUrl(runtime, QUrl("http://localhost:8787"));
    RunStateTestAccess::setPid(runtime, 1234);
    RunStateTestAccess::setManaged(runtime, true);
    RunStateTestAccess::setMemoryBytes(runtime, 1 << 20);
}

} // namespace

TEST(LogBuffer, TrimsToFiveThousandOnceItPassesFiveThousandFiveHundred)
{
    LogBuffer log;
    QSignalSpy changes(&log, &LogBuffer::linesChanged);
    for (int i = 0; i < 5500; ++i)
        log.append(QString::number(i), i % 2 == 0);
    EXPECT_EQ(log.lines().size(), 5500);
    log.append("5500", false);
    ASSERT_EQ(log.lines().size(), 5000);
    EXPECT_EQ(log.lines().first().id, 501);
    EXPECT_EQ(log.lines().first().text, "501");
    EXPECT_EQ(log.lines().last(), (LogLine{5500, "5500", false}));
    EXPECT_EQ(changes.count(), 5501);
    // The next trim comes only after another 500 lines.
    for (int i = 0; i < 500; ++i)
        log.append("x", false);
    EXPECT_EQ(log.lines().size(), 5500);
}

// A server that never stops printing, in deliveries of every size up to the channel's largest:
// the kept lines are always the newest, in order, and the storage settles instead of growing to
// twice the bound after each trim.
TEST(LogBuffer, AnEndlessStreamKeepsTheNewestLinesInOrderInBoundedStorage)
{
    LogBuffer log;
    int next = 0;
    qsizetype capacityAfterFirstTrims = 0;
    for (int delivery = 0; delivery < 400; ++delivery) {
        OutputLines batch;
        const int size = 1 + (delivery * 37) % 1000;
        for (int i = 0; i < size; ++i)
            batch.append(OutputLine{QString::number(next++), false});
        log.append(batch);
        if (delivery == 40)
            capacityAfterFirstTrims = log.lines().capacity();
    }
    const QList<LogLine>& lines = log.lines();
    ASSERT_GE(lines.size(), LogBuffer::trimmedSize);
    EXPECT_EQ(lines.last().id, next - 1);
    for (qsizetype i = 0; i < lines.size(); ++i)
        ASSERT_EQ(lines[i].text, QString::number(lines.first().id + i)) << "at " << i;
    EXPECT_LE(log.lines().capacity(), capacityAfterFirstTrims);
    EXPECT_LT(log.lines().capacity(), 2 * LogBuffer::trimThreshold);
}

TEST(LogBuffer, ClearKeepsIdsIncreasing)
{
    LogBuffer log;
    log.append("a", false);
    log.append("b", true);
    QSignalSpy changes(&log, &LogBuffer::linesChanged);
    log.clear();
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(changes.count(), 1);
    log.clear();
    EXPECT_EQ(changes.count(), 1) << "clearing an empty log changes nothing";
    log.append("c", false);
    EXPECT_EQ(log.lines().first().id, 2);
    EXPECT_EQ(log.nextID(), 3);
}

TEST(LogBuffer, ABatchIsOneChangeThatNamesTheNewAndTheKeptLines)
{
    LogBuffer log;
    QSignalSpy appended(&log, &LogBuffer::linesAppended);
    QSignalSpy changes(&log, &LogBuffer::linesChanged);
    log.append(OutputLines{});
    EXPECT_EQ(changes.count(), 0) << "an empty batch changes nothing";

    OutputLines batch;
    for (int i = 0; i < 5400; ++i)
        batch.append(OutputLine{QString::number(i), i == 7});
    log.append(batch);
    ASSERT_EQ(appended.count(), 1);
    EXPECT_EQ(appended.takeFirst(), (QVariantList{0LL, 0LL}));
    EXPECT_EQ(log.lines().at(7), (LogLine{7, "7", true}));

    // Crossing 5,500 within a batch trims in the same step, from the front.
    log.append(batch.first(200));
    ASSERT_EQ(appended.count(), 1);
    EXPECT_EQ(appended.takeFirst(), (QVariantList{5400LL, 600LL}));
    EXPECT_EQ(log.lines().size(), 5000);
    EXPECT_EQ(changes.count(), 2);

    // The lines after a given id: what a reader that saw up to 5,590 has not seen yet.
    const QList<LogLine> after = log.linesAfter(5590);
    ASSERT_EQ(after.size(), 9);
    EXPECT_EQ(after.first().id, 5591);
    EXPECT_EQ(log.linesAfter(5599), QList<LogLine>());
    EXPECT_EQ(log.linesAfter(-1).size(), 5000) << "ids before the first kept line give all";

    // A batch larger than the buffer keeps only its own newest lines.
    OutputLines flood;
    for (int i = 0; i < 6000; ++i)
        flood.append(OutputLine{QStringLiteral("f"), false});
    log.append(flood);
    EXPECT_EQ(appended.takeFirst(), (QVariantList{5600LL, 6600LL}));
    EXPECT_EQ(log.lines().size(), 5000);
    EXPECT_EQ(log.lines().last().id, 11599);

    QSignalSpy cleared(&log, &LogBuffer::cleared);
    log.clear();
    EXPECT_EQ(cleared.count(), 1);
    EXPECT_EQ(log.textBytes(), 0);
}

// Long lines reach the byte budget long before the line count: the oldest lines go until the
// rest fits, as with the line count, and the count keeps the bytes in step.
TEST(LogBuffer, LongLinesAreBoundedByTheByteBudget)
{
    LogBuffer log;
    QSignalSpy appended(&log, &LogBuffer::linesAppended);
    const QString piece(qsizetype(64) * 1024, QLatin1Char('x')); // the line splitter's longest line
    const qsizetype pieceBytes = LogBuffer::textBytes(piece);
    const qsizetype fits = LogBuffer::maxTextBytes / pieceBytes;
    for (int i = 0; i < 1000; ++i)
        log.append(piece, false);
    EXPECT_EQ(log.lines().size(), fits);
    EXPECT_LE(log.textBytes(), LogBuffer::maxTextBytes);
    EXPECT_EQ(log.textBytes(), fits * pieceBytes);
    EXPECT_EQ(log.lines().first().id, 1000 - fits);
    EXPECT_EQ(appended.last(), (QVariantList{999LL, 1000 - fits}));

    // Short lines after them push the long ones out, one at a time as room is needed.
    const QString request = QStringLiteral("GET / 200");
    for (int i = 0; i < 4000; ++i)
        log.append(request, false);
    EXPECT_EQ(log.lines().size(), fits - 1 + 4000);
    // A 6 MiB line takes the room of 48 long ones (in one step) and none of the short ones.
    log.append(OutputLines{{QString(qsizetype(3) * 1024 * 1024, QLatin1Char('y')), false}});
    EXPECT_EQ(log.lines().size(), fits - 1 - 48 + 4000 + 1);
    EXPECT_EQ(log.lines().at(fits - 49).text, request);
    EXPECT_LE(log.textBytes(), LogBuffer::maxTextBytes);

    // A line larger than the whole budget stays alone: the newest line is never dropped.
    log.append(QString(qsizetype(5) * 1024 * 1024, QLatin1Char('z')), true);
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_EQ(log.textBytes(), 10 * 1024 * 1024);
}

TEST(ProjectRuntime, FieldsNotifyOnlyOnRealChanges)
{
    ProjectRuntime runtime;
    QSignalSpy status(&runtime, &ProjectRuntime::statusChanged);
    QSignalSpy url(&runtime, &ProjectRuntime::urlChanged);
    QSignalSpy conflict(&runtime, &ProjectRuntime::portConflictChanged);
    QSignalSpy pids(&runtime, &ProjectRuntime::externalPIDsChanged);
    RunStateTestAccess::setStatus(runtime, ProjectStatus::running());
    RunStateTestAccess::setStatus(runtime, ProjectStatus::running());
    RunStateTestAccess::setStatus(runtime, ProjectStatus::error("a"));
    RunStateTestAccess::setStatus(runtime, ProjectStatus::error("a"));
    RunStateTestAccess::setStatus(runtime, ProjectStatus::error("b"));
    EXPECT_EQ(status.count(), 3);
    RunStateTestAccess::setUrl(runtime, QUrl("http://localhost:1"));
    RunStateTestAccess::setUrl(runtime, QUrl("http://localhost:1"));
    RunStateTestAccess::setUrl(runtime, std::nullopt);
    EXPECT_EQ(url.count(), 2);
    RunStateTestAccess::setPortConflict(runtime, PortConflict{8787, std::nullopt, std::nullopt});
    RunStateTestAccess::setPortConflict(runtime, PortConflict{8787, std::nullopt, std::nullopt});
    RunStateTestAccess::setPortConflict(runtime, PortConflict{8787, QString("/p"), QString("p")});
    EXPECT_EQ(conflict.count(), 2);
    RunStateTestAccess::setExternalPIDs(runtime, {1, 2});
    RunStateTestAccess::setExternalPIDs(runtime, {1, 2});
    EXPECT_EQ(pids.count(), 1);
}

TEST(ProjectRuntimeExit, CodeAndRequestDecideBetweenStoppedAndError)
{
    struct Case
    {
        int code;
        bool requested;
        ProjectStatus expected;
    };
    const QList<Case> cases{{0, false, ProjectStatus::stopped()},
                            {143, true, ProjectStatus::stopped()},
                            {1, false, ProjectStatus::error("Exited with code 1")},
                            {137, false, ProjectStatus::error("Exited with code 137")}};
    for (const Case& c : cases) {
        ProjectRuntime runtime;
        makeRunning(runtime);
        RunStateTestAccess::setAttachedPID(runtime, 77);
        RunStateTestAccess::setPortConflict(runtime,
                                            PortConflict{8787, std::nullopt, std::nullopt});
        runtime.exited(c.code, c.requested, &nothingExists);
        EXPECT_EQ(runtime.status(), c.expected) << c.code;
        EXPECT_FALSE(runtime.managed());
        EXPECT_FALSE(runtime.pid().has_value());
        EXPECT_FALSE(runtime.url().has_value());
        EXPECT_FALSE(runtime.memoryBytes().has_value());
        EXPECT_FALSE(runtime.attachedPID().has_value());
        EXPECT_TRUE(runtime.portConflict().has_value()) << "stays visible until the next start";
        EXPECT_EQ(runtime.log()->lines().last().text,
                  QStringLiteral("■ process exited (code %1)").arg(c.code));
    }
}

TEST(ProjectRuntimeExit, AnnouncedServerThatStillLivesKeepsTheProjectRunning)
{
    ProjectRuntime runtime;
    makeRunning(runtime);
    // A real process: this test itself.
    const qint32 self = qint32(::getpid());
    RunStateTestAccess::setAttachedPID(runtime, self);
    runtime.exited(1, false);
    EXPECT_EQ(runtime.status(), ProjectStatus::running());
    EXPECT_TRUE(runtime.external());
    EXPECT_EQ(runtime.externalPIDs(), QList<qint32>{self});
    EXPECT_EQ(runtime.url(), QUrl("http://localhost:8787"));
    const QList<LogLine>& lines = runtime.log()->lines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines.at(0).text, "■ process exited (code 1)");
    EXPECT_EQ(
        lines.at(1).text,
        QStringLiteral("↪ A dev server is already running (pid %1); attached to it.").arg(self));
}

TEST(ProjectRuntime, StartClearsWhatThePreviousRunFound)
{
    ProjectRuntime runtime;
    makeRunning(runtime);
    RunStateTestAccess::setExternal(runtime, true);
    RunStateTestAccess::setAttachedPID(runtime, 5);
    runtime.announcementBegun();
    RunStateTestAccess::setPortConflict(runtime, PortConflict{8787, std::nullopt, std::nullopt});
    runtime.startAccepted(QStringLiteral("npx wrangler dev"));
    EXPECT_EQ(runtime.status(), ProjectStatus::starting());
    EXPECT_FALSE(runtime.url() || runtime.attachedPID() || runtime.portConflict());
    EXPECT_FALSE(runtime.external() || runtime.sawAlreadyRunning());
    EXPECT_EQ(runtime.pid(), 1234) << "the pid belongs to the spawn, not to the start";
    EXPECT_EQ(runtime.log()->lines().last().text, QString::fromUtf8("▶ npx wrangler dev"));
}

// One start walked through its events: each transition is whole before anyone hears of it,
// notifies once, and the start's outcome and the exit are awaitable.
TEST(ProjectRuntime, AStartWalksItsEventsAndEachTransitionIsWholeWhenHeard)
{
    ProjectRuntime runtime;
    QList<std::pair<ProjectStatus, std::optional<QUrl>>> seenAtStatus;
    QObject::connect(&runtime, &ProjectRuntime::statusChanged, [&] {
        seenAtStatus.append({runtime.status(), runtime.url()});
    });
    QSignalSpy transitions(&runtime, &ProjectRuntime::changed);

    const QFuture<StartOutcome> outcome = runtime.startAccepted(QStringLiteral("serve"));
    EXPECT_EQ(transitions.count(), 1);
    EXPECT_FALSE(outcome.isFinished());
    EXPECT_TRUE(runtime.exitApplied().isFinished()) << "nothing runs yet";

    // The ready line may come before the spawn is recorded: running, but the outcome waits
    // for the pid.
    EXPECT_TRUE(runtime.readyLine(QUrl("http://localhost:8787")));
    EXPECT_EQ(transitions.count(), 2);
    ASSERT_EQ(seenAtStatus.size(), 2);
    EXPECT_EQ(seenAtStatus.last(), (std::pair{ProjectStatus::running(),
                                              std::optional<QUrl>(QUrl("http://localhost:8787"))}))
        << "the address is in place when the status is heard";
    EXPECT_FALSE(outcome.isFinished());
    EXPECT_FALSE(runtime.readyLine(QUrl("http://localhost:9999"))) << "the first address counts";
    EXPECT_EQ(transitions.count(), 2) << "no change, no notification";

    runtime.spawned(4321);
    ASSERT_TRUE(outcome.isFinished());
    EXPECT_EQ(outcome.result(), StartOutcome::running());
    EXPECT_EQ(runtime.currentStart().result(), StartOutcome::running());
    const QFuture<void> exit = runtime.exitApplied();
    EXPECT_FALSE(exit.isFinished());

    // The exit is one transition of six fields; whoever awaits it finds them all applied.
    bool wholeAtExit = false;
    QObject::connect(&runtime, &ProjectRuntime::managedChanged, [&] {
        wholeAtExit = runtime.status() == ProjectStatus::stopped() && !runtime.url() &&
                      !runtime.pid() && !exit.isFinished();
    });
    const int before = transitions.count();
    runtime.exited(143, true, &nothingExists);
    EXPECT_TRUE(wholeAtExit);
    EXPECT_TRUE(exit.isFinished());
    EXPECT_EQ(transitions.count(), before + 1);

    // A start that fails settles with the reason; so does one whose server ends first.
    const QFuture<StartOutcome> failing = runtime.startAccepted(QStringLiteral("serve"));
    runtime.spawnFailed(QStringLiteral("Already running"));
    EXPECT_EQ(failing.result(), StartOutcome::failed(QStringLiteral("Already running")));
    const QFuture<StartOutcome> ending = runtime.startAccepted(QStringLiteral("serve"));
    runtime.spawned(4322);
    runtime.exited(0, false, &nothingExists);
    EXPECT_EQ(ending.result(), StartOutcome::failed(QStringLiteral("the server exited")));
    EXPECT_EQ(runtime.startRefused(QStringLiteral("No command")).result(),
              StartOutcome::failed(QStringLiteral("No command")));
    EXPECT_EQ(runtime.status(), ProjectStatus::error(QStringLiteral("No command")));

    // A run state that goes while awaited answers its waiters.
    QFuture<StartOutcome> orphaned;
    QFuture<void> orphanedExit;
    {
        ProjectRuntime doomed;
        orphaned = doomed.startAccepted(QStringLiteral("serve"));
        doomed.spawned(1);
        orphanedExit = doomed.exitApplied();
    }
    EXPECT_EQ(orphaned.result(), StartOutcome::failed(QStringLiteral("the project was removed")));
    EXPECT_TRUE(orphanedExit.isFinished() && !orphanedExit.isCanceled());
}

TEST(RuntimeLog, ApplicationMessages)
{
    EXPECT_EQ(RuntimeLog::startAccepted("npx wrangler dev"),
              QString::fromUtf8("▶ npx wrangler dev"));
    EXPECT_EQ(RuntimeLog::spawnFailed("Already running"), QString::fromUtf8("✖ Already running"));
}
