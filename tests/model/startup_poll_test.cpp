#include "startup_fixture.h"
#include "supervision/external/proc_process_table.h"
#include "support/run_state_access.h"

#include <sys/wait.h>
#include <unistd.h>

// The refresh of servers started elsewhere while the main window is shown.

TEST_F(StartupTest, ShowingTheWindowRefreshesAtOnceAndHidingItStopsThePoll)
{
    const QString folder = registerProject();
    // So long an interval that only the refresh at appearance can show anything.
    AppModel model(startupContext(fakeShell("'A=1'"), std::chrono::hours(1)));
    ProjectRuntime* runtime = model.runtimeFor(folder);
    auto server = externalWorkerd(folder);
    ASSERT_TRUE(server->ready());

    model.windowAppeared();
    EXPECT_TRUE(model.windowVisible());
    EXPECT_TRUE(model.isPolling());
    WAIT_UNTIL(runtime->external(), 30000);
    EXPECT_EQ(runtime->status(), ProjectStatus::running());
    EXPECT_EQ(runtime->url(), addressOf(*server));
    EXPECT_EQ(runtime->externalPIDs(), server->pids());

    model.windowDisappeared();
    EXPECT_FALSE(model.windowVisible());
    EXPECT_FALSE(model.isPolling());

    // The server goes away while the window is closed; reopening shows it at once.
    server.reset();
    model.windowAppeared();
    WAIT_UNTIL(!runtime->external(), 30000);
    EXPECT_EQ(runtime->status(), ProjectStatus::stopped());
    EXPECT_FALSE(runtime->url().has_value());
    EXPECT_TRUE(runtime->externalPIDs().isEmpty());
    EXPECT_FALSE(runtime->memoryBytes().has_value());
}

TEST_F(StartupTest, ThePollRepeatsWhileShownAndNotAfterwards)
{
    const QString folder = registerProject();
    AppModel model(startupContext(fakeShell("'A=1'"), std::chrono::milliseconds(10)));
    ProjectRuntime* runtime = model.runtimeFor(folder);
    auto server = externalWorkerd(folder);
    ASSERT_TRUE(server->ready());

    model.windowAppeared();
    WAIT_UNTIL(runtime->external(), 30000);
    // Nothing but the poll looks again: the server's end shows only through a repeat.
    server.reset();
    WAIT_UNTIL(!runtime->external(), 30000);

    model.windowDisappeared();
    server = externalWorkerd(folder);
    ASSERT_TRUE(server->ready());
    QTest::qWait(300); // thirty intervals of a poll that should no longer run
    EXPECT_FALSE(runtime->external());
    EXPECT_EQ(runtime->status(), ProjectStatus::stopped());
}

TEST_F(StartupTest, ThePollLeavesStartingProjectsAlone)
{
    const QString api = makeProject(QStringLiteral("api"), QStringLiteral("api"));
    // A second project shows when the refresh has been applied.
    const QString web = makeProject(QStringLiteral("web"), QStringLiteral("web"));
    saveRegistry({{sites.path()},
                  {project(api, QStringLiteral("api"), sites.path()),
                   project(web, QStringLiteral("web"), sites.path())}});
    AppModel model(startupContext(fakeShell("'A=1'"), std::chrono::hours(1)));
    ProjectRuntime* starting = model.runtimeFor(api);
    RunStateTestAccess::setStatus(*starting, ProjectStatus::starting());
    const auto apiServer = externalWorkerd(api);
    const auto webServer = externalWorkerd(web);
    ASSERT_TRUE(apiServer->ready() && webServer->ready());

    model.windowAppeared();
    WAIT_UNTIL(model.runtimeFor(web)->external(), 30000);
    EXPECT_EQ(starting->status(), ProjectStatus::starting());
    EXPECT_FALSE(starting->external());
    EXPECT_FALSE(starting->url().has_value());
}

TEST_F(StartupTest, AModelDestroyedWhilePollingEndsThePollQuietly)
{
    const QString folder = registerProject();
    auto server = externalWorkerd(folder);
    ASSERT_TRUE(server->ready());
    auto model = std::make_unique<AppModel>(
        startupContext(fakeShell("'A=1'"), std::chrono::milliseconds(1)));
    model->windowAppeared();
    // A scan is on its way in the background; its result must find nothing to apply to.
    model.reset();
    QTest::qWait(100);
    QThreadPool::globalInstance()->waitForDone(30000);
    QTest::qWait(10);
    SUCCEED() << "no continuation touched the destroyed model";
}

TEST_F(StartupTest, AServerWhoseProcessesAreOnlyZombiesIsClearedByTheNextRefresh)
{
    const QString folder = registerProject();
    AppModel model(startupContext(fakeShell("'A=1'"), std::chrono::hours(1)));
    // An ended child that nobody has reaped yet, as the orphaned processes of a server stopped
    // from here are for a second or two; signal 0 still reaches it.
    const pid_t zombie = ::fork();
    if (zombie == 0)
        ::_exit(0);
    ASSERT_GT(zombie, 0);
    const auto isZombie = [zombie] {
        const QByteArray stat = readWholeFile(QStringLiteral("/proc/%1/stat").arg(zombie));
        return stat.mid(stat.lastIndexOf(')') + 2, 1) == "Z";
    };
    WAIT_UNTIL(isZombie(), 10000);
    ProjectRuntime* runtime = model.runtimeFor(folder);
    RunStateTestAccess::setExternal(*runtime, true);
    RunStateTestAccess::setExternalPIDs(*runtime, {qint32(zombie)});
    RunStateTestAccess::setStatus(*runtime, ProjectStatus::running());

    model.windowAppeared();
    WAIT_UNTIL(!runtime->external(), 30000);
    EXPECT_EQ(runtime->status(), ProjectStatus::stopped());
    ::waitpid(zombie, nullptr, 0);
}

namespace {

// The real process table plus one workerd that exists only here.
class ImaginedServerTable final : public ProcessTable
{
public:
    static constexpr qint32 pid = 0x7ffffff0;

    ImaginedServerTable(QString folder, int port) : folder_(std::move(folder)), port_(port) {}

    QList<qint32> listAllPIDs() const override { return real_.listAllPIDs() << pid; }
    QString name(qint32 id) const override
    {
        return id == pid ? QStringLiteral("workerd") : real_.name(id);
    }
    std::optional<ProcessInfo> info(qint32 id) const override
    {
        return id == pid ? std::optional(ProcessInfo{1, pid, 1000}) : real_.info(id);
    }
    std::optional<qint32> processGroup(qint32 id) const override
    {
        return id == pid ? std::optional(pid) : real_.processGroup(id);
    }
    std::optional<quint64> residentBytes(qint32 id) const override
    {
        return id == pid ? std::nullopt : real_.residentBytes(id);
    }
    std::optional<ProcessUsage> usage(qint32 id) const override
    {
        return id == pid ? std::nullopt : real_.usage(id);
    }
    QString workingFolder(qint32 id) const override
    {
        return id == pid ? folder_ : real_.workingFolder(id);
    }
    QList<int> listeningPorts(qint32 id) const override
    {
        return id == pid ? QList<int>{port_} : real_.listeningPorts(id);
    }
    int temporaryPortFloor() const override { return real_.temporaryPortFloor(); }

private:
    QString folder_;
    int port_;
    ProcProcessTable real_;
};

} // namespace

TEST_F(StartupTest, TheRefreshReadsTheProcessTableItIsGiven)
{
    const QString folder = registerProject();
    AppModelContext context = startupContext(fakeShell("'A=1'"));
    context.processTable = [folder] {
        return std::make_unique<ImaginedServerTable>(folder, 18801);
    };
    AppModel model(context);
    ProjectRuntime* runtime = model.runtimeFor(folder);
    model.refreshExternal();
    WAIT_UNTIL(runtime->external(), 10000);
    EXPECT_EQ(runtime->externalPIDs(), QList<qint32>{ImaginedServerTable::pid});
    EXPECT_EQ(runtime->url(), QUrl(QStringLiteral("http://localhost:18801")));
}
