#include "base/deliver.h"
#include "server_fixture.h"
#include "storage/storage.h"
#include "supervision/external/proc_process_table.h"

#include <QCoreApplication>

// Running records and the recovery of servers left running by a crash.

namespace {

quint64 startTimeOf(qint64 pid)
{
    return ProcProcessTable().info(qint32(pid)).value_or(ProcessInfo{}).startSec;
}

const QString leftOverMessage =
    QStringLiteral("Found projects still running from a previous session");

} // namespace

TEST_F(ServerTest, RecoveryKeepsOnlyProvablySameGroupLeadersAndConsumesTheFile)
{
    // A process leading its own group, recorded for a project that has since been removed.
    QProcess leader;
    leader.start(QStringLiteral("setsid"), {QStringLiteral("sleep"), QStringLiteral("120")});
    ASSERT_TRUE(leader.waitForStarted(5000));
    WAIT_UNTIL(ProcProcessTable().info(qint32(leader.processId())).value_or(ProcessInfo{}).pgid ==
                   leader.processId(),
               5000);
    // A live process in someone else's group, and a pid reused since (other start time).
    QProcess* member = sleeper();
    const qint32 leaderPid = qint32(leader.processId());
    saveRunningRecords(
        {{QStringLiteral("/gone/project"), leaderPid, startTimeOf(leaderPid)},
         {QStringLiteral("/member"), qint32(member->processId()), startTimeOf(member->processId())},
         {QStringLiteral("/reused"), leaderPid, startTimeOf(leaderPid) - 5}});
    const auto model = serverModel();

    desktop.alerts.queueAnswer(1); // Leave Running
    bool done = false;
    deliverTo(model.get(), model->recoverOrphans(), [&] { done = true; });
    WAIT_UNTIL(done, 5000);
    ASSERT_EQ(desktop.alerts.shown().size(), 1);
    const Alert& alert = desktop.alerts.shown()[0];
    EXPECT_EQ(alert.message, leftOverMessage);
    EXPECT_EQ(alert.informativeText,
              QStringLiteral("/gone/project\n\nThese were started by Tallowmere and weren't shut "
                             "down (the app probably crashed). Stop them?"));
    EXPECT_EQ(alert.buttons, (QStringList{"Stop Them", "Leave Running"}));
    EXPECT_FALSE(runningFileExists());
    EXPECT_FALSE(leader.waitForFinished(300)) << "left running";

    // The file was consumed: a second launch asks nothing.
    const auto again = serverModel();
    again->recoverOrphans();
    EXPECT_EQ(desktop.alerts.shown().size(), 1);
    leader.kill();
    leader.waitForFinished(5000);
}

TEST_F(ServerTest, TheLastExitDeletesTheRunningFileWhateverItHeld)
{
    const QString path = serverProject(QStringLiteral("api"), "echo started\nexec sleep 60\n");
    const auto model = serverModel();
    model->startProject(path);
    WAIT_UNTIL(runningFileExists(), 15000);
    // Another copy of the application left a file that holds nothing readable.
    support.write(QStringLiteral("running.json"), "[{\"pid\": \"not a number\"}]");
    model->stopProject(path);
    WAIT_UNTIL(!model->runtimeFor(path)->managed(), 15000);
    EXPECT_FALSE(runningFileExists());
}

TEST_F(ServerTest, ServersStartedBeforeTheRecoveryAreNotTakenForLeftOvers)
{
    const QString api = serverProject(QStringLiteral("api"), "echo ready; exec sleep 60\n");
    const auto model = serverModel();
    model->startProject(api);
    WAIT_UNTIL(runningFileExists(), 10000);
    const qint32 pid = *model->runtimeFor(api)->pid();

    // The start-up sequence reaches the recovery only now.
    bool done = false;
    deliverTo(model.get(), model->recoverOrphans(), [&] { done = true; });
    WAIT_UNTIL(done, 5000);
    EXPECT_TRUE(desktop.alerts.shown().isEmpty());
    const QList<RunningRecord> records = loadRunningRecords();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].pid, pid);
    model->stopProject(api);
    WAIT_UNTIL(!runningFileExists(), 10000);
}

TEST_F(ServerTest, InDemoModeRecoveryLeavesTheFileAlone)
{
    saveRunningRecords({{QStringLiteral("/p"), qint32(QCoreApplication::applicationPid()), 1}});
    AppModelContext demo = serverContext();
    demo.environment.insert(QStringLiteral("TALLOWMERE_DEMO"), QStringLiteral("1"));
    const auto model = serverModel(demo);
    bool done = false;
    deliverTo(model.get(), model->recoverOrphans(), [&] { done = true; });
    WAIT_UNTIL(done, 5000);
    EXPECT_TRUE(runningFileExists());
    EXPECT_TRUE(desktop.alerts.shown().isEmpty());
}

// Run only as the child of the crash test below: starts the three registered projects, waits
// until all are recorded, says so, and waits to be killed.
TEST_F(ServerTest, DISABLED_CrashChildStartsServersAndWaits)
{
    // The fixture gave this process a fresh support folder: use the parent's instead.
    qputenv("TALLOWMERE_SUPPORT_DIR", qgetenv("TALLOWMERE_CRASH_SUPPORT_DIR"));
    const auto model = std::make_unique<AppModel>(serverContext());
    for (const Project& project : model->projects())
        model->startProject(project.path);
    WAIT_UNTIL(loadRunningRecords().size() == 3, 30000);
    std::printf("READY\n");
    std::fflush(stdout);
    QTest::qWait(120000);
}

TEST_F(ServerTest, ServersLeftByACrashAreOfferedAndStopped)
{
    QStringList folders;
    for (const char* name : {"alpha", "beta", "gamma"}) {
        // Each server leaves a grandchild in its group, as package managers do.
        folders.append(serverProject(QString::fromLatin1(name),
                                     "sleep 120 &\necho started\nexec sleep 120\n"));
    }
    saveRegistry({{}, registered});

    // The application runs in a child process with the same support folder, and is killed.
    QProcess app;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TALLOWMERE_CRASH_SUPPORT_DIR"), support.path());
    app.setProcessEnvironment(environment);
    app.start(
        QCoreApplication::applicationFilePath(),
        {QStringLiteral("--gtest_also_run_disabled_tests"),
         QStringLiteral("--gtest_filter=ServerTest.DISABLED_CrashChildStartsServersAndWaits")});
    ASSERT_TRUE(app.waitForStarted(10000));
    QByteArray output;
    WAIT_UNTIL((output += app.readAllStandardOutput()).contains("READY"), 60000);
    ::kill(qint32(app.processId()), SIGKILL);
    ASSERT_TRUE(app.waitForFinished(10000));

    const QList<RunningRecord> records = loadRunningRecords();
    ASSERT_EQ(records.size(), 3);
    for (const RunningRecord& record : records)
        ASSERT_TRUE(ProcessGroups::groupAlive(record.pid)) << qPrintable(record.projectID);

    // The next launch offers them, named in the order of the file, and stops them all.
    desktop.alerts.queueAnswer(0);
    const auto model = serverModel();
    bool done = false;
    deliverTo(model.get(), model->recoverOrphans(), [&] { done = true; });
    WAIT_UNTIL(done, 5000); // the stops run after the answer, on their own
    ASSERT_EQ(desktop.alerts.shown().size(), 1);
    EXPECT_EQ(desktop.alerts.shown()[0].message, leftOverMessage);
    QStringList names;
    for (const RunningRecord& record : records)
        names.append(model->findProject(record.projectID)->name);
    EXPECT_TRUE(desktop.alerts.shown()[0].informativeText.startsWith(names.join(", ") + "\n\n"));
    for (const RunningRecord& record : records)
        WAIT_UNTIL(!ProcessGroups::groupAlive(record.pid), 60000) << qPrintable(record.projectID);
    EXPECT_FALSE(runningFileExists());
}

namespace {

// A left-over server leading its own group; with `ignoreTerm` it outlasts SIGTERM until the
// escalation's SIGKILL.
std::unique_ptr<QProcess> leftOverLeader(bool ignoreTerm)
{
    auto leader = std::make_unique<QProcess>();
    leader->start(QStringLiteral("setsid"),
                  {QStringLiteral("sh"), QStringLiteral("-c"),
                   ignoreTerm ? QStringLiteral("trap '' TERM; exec sleep 120")
                              : QStringLiteral("exec sleep 120")});
    leader->waitForStarted(5000);
    return leader;
}

} // namespace

TEST_F(ServerTest, StopThemIsATaskOfItsOwnAndAGoneModelIsNeverCalledBack)
{
    const std::unique_ptr<QProcess> stubborn = leftOverLeader(true);
    const qint32 pid = qint32(stubborn->processId());
    WAIT_UNTIL(ProcProcessTable().info(pid).value_or(ProcessInfo{}).pgid == pid, 5000);
    const RunningRecord record{QStringLiteral("/left/over"), pid, startTimeOf(pid)};

    // Answered after the model has gone: neither the caller nor a stop is called.
    saveRunningRecords({record});
    auto model = serverModel();
    bool done = false;
    deliverTo(model.get(), model->recoverOrphans(), [&] { done = true; });
    ASSERT_EQ(desktop.alerts.pendingCount(), 1);
    model.reset();
    ASSERT_TRUE(desktop.alerts.answerPending(0));
    QTest::qWait(50);
    EXPECT_FALSE(done);
    EXPECT_TRUE(ProcessGroups::groupAlive(pid));

    // "Stop Them": the caller goes on while the group still outlasts its SIGTERM.
    saveRunningRecords({record});
    model = serverModel();
    desktop.alerts.queueAnswer(0);
    deliverTo(model.get(), model->recoverOrphans(), [&] { done = true; });
    WAIT_UNTIL(done, 5000);
    EXPECT_TRUE(ProcessGroups::groupAlive(pid));
    WAIT_UNTIL(!ProcessGroups::groupAlive(pid), 30000);
    stubborn->waitForFinished(5000);
}
