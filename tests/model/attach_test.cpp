#include "base/deliver.h"
#include "server_fixture.h"
#include "supervision/external/proc_process_table.h"
#include "supervision/external/proc_stat.h"

#include <csignal>

// Dev servers that find another instance of their project already running, and stopping a
// server that the application did not start.

using Kind = ProjectStatus::Kind;

namespace {

// The real process table, except that it can pretend every process started a second later:
// as if each pid had been taken over by a new process since it was seen.
class ShiftingTable final : public ProcessTable
{
public:
    explicit ShiftingTable(std::shared_ptr<bool> shifted) : shifted_(std::move(shifted)) {}

    QList<qint32> listAllPIDs() const override { return real_.listAllPIDs(); }
    QString name(qint32 pid) const override { return real_.name(pid); }
    std::optional<ProcessInfo> info(qint32 pid) const override
    {
        std::optional<ProcessInfo> info = real_.info(pid);
        if (info && *shifted_)
            info->startSec += 1;
        return info;
    }
    std::optional<qint32> processGroup(qint32 pid) const override
    {
        return real_.processGroup(pid);
    }
    std::optional<quint64> residentBytes(qint32 pid) const override
    {
        return real_.residentBytes(pid);
    }
    std::optional<ProcessUsage> usage(qint32 pid) const override { return real_.usage(pid); }
    QString workingFolder(qint32 pid) const override { return real_.workingFolder(pid); }
    QList<int> listeningPorts(qint32 pid) const override { return real_.listeningPorts(pid); }
    int temporaryPortFloor() const override { return real_.temporaryPortFloor(); }

private:
    std::shared_ptr<bool> shifted_;
    ProcProcessTable real_;
};

} // namespace

class AttachTest : public ServerTest
{
protected:
    // A project whose server announces `other` as already running (one-line form), then exits.
    QString announcingProject(const QString& name, qint64 other)
    {
        return serverProject(name, "echo \"✘ [ERROR] The dev server is already running at "
                                   "http://localhost:18790 (pid " +
                                       QByteArray::number(other) + ")\"\nexit 1\n");
    }
};

TEST_F(AttachTest, AnAnnouncedServerIsAttachedInBothForms)
{
    QProcess* first = sleeper();
    QProcess* second = sleeper();
    const QString oneLine = announcingProject(QStringLiteral("one"), first->processId());
    const QString threeLines = serverProject(
        QStringLiteral("three"), "echo 'Another dev server for this project is already running.'\n"
                                 "echo '  URL: http://localhost:18791'\n"
                                 "echo '  PID: " +
                                     QByteArray::number(second->processId()) + "'\nexit 1\n");
    const auto model = serverModel();
    model->startProject(oneLine);
    model->startProject(threeLines);

    for (const auto& [path, pid, port] :
         {std::tuple{oneLine, qint32(first->processId()), 18790},
          std::tuple{threeLines, qint32(second->processId()), 18791}}) {
        ProjectRuntime* runtime = model->runtimeFor(path);
        WAIT_UNTIL(logTexts(runtime).join(u'\n').contains(QStringLiteral("process exited")), 15000);
        EXPECT_EQ(kind(runtime), Kind::running);
        EXPECT_TRUE(runtime->external());
        EXPECT_FALSE(runtime->managed());
        EXPECT_EQ(runtime->externalPIDs(), QList<qint32>{pid});
        EXPECT_EQ(runtime->url(), QUrl(QStringLiteral("http://localhost:%1").arg(port)));
    }
    EXPECT_FALSE(runningFileExists()) << "a server started elsewhere is never recorded";
}

TEST_F(AttachTest, StoppingAServerStartedElsewhereAsksFirst)
{
    QProcess* other = sleeper();
    const QString path = announcingProject(QStringLiteral("api"), other->processId());
    const auto model = serverModel();
    ProjectRuntime* runtime = model->runtimeFor(path);
    model->startProject(path);
    WAIT_UNTIL(runtime->external(), 15000);

    desktop.alerts.queueAnswer(1); // Cancel
    model->stopProject(path);
    ASSERT_EQ(desktop.alerts.shown().size(), 1);
    EXPECT_EQ(desktop.alerts.shown()[0],
              (Alert{"Stop api?",
                     "This project wasn't started by Tallowmere (probably from a terminal). "
                     "Stopping it will send a quit signal to its wrangler/workerd processes.",
                     {"Stop", "Cancel"},
                     AlertStyle::warning}));
    EXPECT_FALSE(other->waitForFinished(300));
    EXPECT_TRUE(runtime->external());
    EXPECT_EQ(runtime->attachedPID(), qint32(other->processId()));

    // Suspended as by Ctrl+Z in its terminal: the quit signal must still end it.
    ::kill(qint32(other->processId()), SIGSTOP);
    WAIT_UNTIL(readProcStat(qint32(other->processId()))->state == 'T', 5000);
    desktop.alerts.queueAnswer(0);
    model->stopProject(path);
    ASSERT_TRUE(other->waitForFinished(10000));
    EXPECT_EQ(other->exitStatus(), QProcess::CrashExit);
    EXPECT_FALSE(runtime->attachedPID().has_value());
    // The refresh that follows finds nothing left of it.
    WAIT_UNTIL(kind(runtime) == Kind::stopped, 15000);
    EXPECT_FALSE(runtime->external());
    EXPECT_TRUE(runtime->externalPIDs().isEmpty());
    EXPECT_FALSE(runtime->url().has_value());
}

TEST_F(AttachTest, APidThatNowNamesAnotherProcessIsNotSignalled)
{
    QProcess* other = sleeper();
    const QString path = announcingProject(QStringLiteral("api"), other->processId());
    const auto shifted = std::make_shared<bool>(false);
    AppModelContext context = serverContext();
    context.processTable = [shifted] { return std::make_unique<ShiftingTable>(shifted); };
    const auto model = serverModel(context);
    ProjectRuntime* runtime = model->runtimeFor(path);
    model->startProject(path);
    WAIT_UNTIL(runtime->external(), 15000);

    *shifted = true;
    std::optional<bool> answer;
    desktop.alerts.queueAnswer(0);
    deliverTo(model.get(), model->confirmExternalStop(path, false),
              [&](bool confirmed) { answer = confirmed; });
    WAIT_UNTIL(answer.has_value(), 5000);
    EXPECT_EQ(answer, true);
    EXPECT_FALSE(other->waitForFinished(500)) << "a process with another start time was signalled";
}

TEST_F(AttachTest, RestartingAServerStartedElsewhereStopsItAndStartsHere)
{
    QProcess* other = sleeper();
    // The first run finds the other server; the second (after the restart) starts for real.
    const QString path = serverProject(
        QStringLiteral("api"),
        "if [ ! -e \"$0.once\" ]; then touch \"$0.once\"; echo \"already running at "
        "http://localhost:18792 (pid " +
            QByteArray::number(other->processId()) +
            ")\"; exit 1; fi\necho 'Ready on http://localhost:18793'\nexec sleep 60\n");
    const auto model = serverModel();
    ProjectRuntime* runtime = model->runtimeFor(path);
    model->startProject(path);
    WAIT_UNTIL(runtime->external() && !runtime->managed(), 15000);

    desktop.alerts.queueAnswer(1);
    model->restartProject(path);
    EXPECT_EQ(desktop.alerts.shown().last().message, QStringLiteral("Restart api?"));
    EXPECT_EQ(desktop.alerts.shown().last().buttons, (QStringList{"Restart", "Cancel"}));
    EXPECT_FALSE(other->waitForFinished(300));

    desktop.alerts.queueAnswer(0);
    model->restartProject(path);
    ASSERT_TRUE(other->waitForFinished(10000));
    WAIT_UNTIL(runtime->managed() && kind(runtime) == Kind::running, 20000);
    EXPECT_FALSE(runtime->external());
    EXPECT_EQ(runtime->url(), QUrl(QStringLiteral("http://localhost:18793")));
}
