#include "supervision/project_runtime.h"
#include "support/qt_gtest_printers.h"

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
    runtime.setStatus(ProjectStatus::running());
    runtime.setUrl(QUrl("http://localhost:8787"));
    runtime.setPid(1234);
    runtime.setManaged(true);
    runtime.setMemoryBytes(1 << 20);
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

TEST(ProjectRuntime, FieldsNotifyOnlyOnRealChanges)
{
    ProjectRuntime runtime;
    QSignalSpy status(&runtime, &ProjectRuntime::statusChanged);
    QSignalSpy url(&runtime, &ProjectRuntime::urlChanged);
    QSignalSpy conflict(&runtime, &ProjectRuntime::portConflictChanged);
    QSignalSpy pids(&runtime, &ProjectRuntime::externalPIDsChanged);
    runtime.setStatus(ProjectStatus::running());
    runtime.setStatus(ProjectStatus::running());
    runtime.setStatus(ProjectStatus::error("a"));
    runtime.setStatus(ProjectStatus::error("a"));
    runtime.setStatus(ProjectStatus::error("b"));
    EXPECT_EQ(status.count(), 3);
    runtime.setUrl(QUrl("http://localhost:1"));
    runtime.setUrl(QUrl("http://localhost:1"));
    runtime.setUrl(std::nullopt);
    EXPECT_EQ(url.count(), 2);
    runtime.setPortConflict(PortConflict{8787, std::nullopt, std::nullopt});
    runtime.setPortConflict(PortConflict{8787, std::nullopt, std::nullopt});
    runtime.setPortConflict(PortConflict{8787, QString("/p"), QString("p")});
    EXPECT_EQ(conflict.count(), 2);
    runtime.setExternalPIDs({1, 2});
    runtime.setExternalPIDs({1, 2});
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
        runtime.setAttachedPID(77);
        runtime.setPortConflict(PortConflict{8787, std::nullopt, std::nullopt});
        runtime.applyExit(c.code, c.requested, &nothingExists);
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
    runtime.setAttachedPID(self);
    runtime.applyExit(1, false);
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
    runtime.setExternal(true);
    runtime.setAttachedPID(5);
    runtime.setSawAlreadyRunning(true);
    runtime.setPortConflict(PortConflict{8787, std::nullopt, std::nullopt});
    runtime.resetForStart();
    EXPECT_EQ(runtime.status(), ProjectStatus::starting());
    EXPECT_FALSE(runtime.url() || runtime.attachedPID() || runtime.portConflict());
    EXPECT_FALSE(runtime.external() || runtime.sawAlreadyRunning());
    EXPECT_EQ(runtime.pid(), 1234) << "the pid belongs to the spawn, not to the reset";
}

TEST(RuntimeLog, ApplicationMessages)
{
    EXPECT_EQ(RuntimeLog::startAccepted("npx wrangler dev"),
              QString::fromUtf8("▶ npx wrangler dev"));
    EXPECT_EQ(RuntimeLog::spawnFailed("Already running"), QString::fromUtf8("✖ Already running"));
}
