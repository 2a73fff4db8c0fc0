#include "base/deliver.h"
#include "model_fixture.h"
#include "runs/project_runtime.h"
#include "storage/registry_file.h"
#include "support/loopback.h"
#include "support/wait_until.h"
#include "support/wrangler_install.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <csignal>
#include <unistd.h>

// The real thing: Wrangler 4.86.0 and its workerd running a small Worker, started by the model
// and started from "a terminal", found, served over loopback and stopped. Skipped (with the
// reason) when npm cannot install Wrangler.

namespace {

// Pids and names of the processes of a group that are still alive (zombies have stopped and
// only wait to be reaped).
QStringList livingMembers(qint32 pgid)
{
    QStringList living;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& pid : pids) {
        QFile file(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray stat = file.readAll();
        const qsizetype open = stat.indexOf('('), close = stat.lastIndexOf(')');
        if (open < 0 || close < 0)
            continue;
        // After the name: state, ppid, pgrp, ...
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        if (fields.size() > 2 && fields[2].toInt() == pgid && fields[0] != "Z" && fields[0] != "X")
            living.append(pid + u' ' + QString::fromUtf8(stat.mid(open + 1, close - open - 1)));
    }
    return living;
}

// The body of a GET answered 200; empty otherwise.
QByteArray httpGet(int port, const QByteArray& path)
{
    const Loopback::Reply reply = Loopback::get(port, path);
    return reply.status == 200 ? reply.body : QByteArray();
}

QStringList logTexts(const ProjectRuntime& runtime)
{
    QStringList texts;
    for (const LogLine& line : runtime.log()->lines())
        texts.append(line.text);
    return texts;
}

} // namespace

class WranglerRealTest : public ModelTest
{
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        if (!install->ok())
            GTEST_SKIP() << "no real Wrangler " << WranglerInstall::version << ": "
                         << install->failure.toStdString();
        // The fixture Worker in a folder of its own, with the cached installation as its
        // node_modules, registered as a project added by hand.
        const QString source =
            QStringLiteral(TALLOWMERE_SOURCE_DIR "/tests/model/fixtures/hello-worker");
        folder = sites.makeDir(QStringLiteral("hello-worker"));
        const QString failure = WranglerInstall::placeWorker(*install, source, folder);
        ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
        Project worker = project(folder, QStringLiteral("hello-worker"));
        worker.configFile = QStringLiteral("wrangler.jsonc");
        saveRegistry({{}, {worker}});
    }

    void TearDown() override
    {
        // Whatever a failed test left running goes with it.
        for (qint32 group : std::as_const(groups))
            ::killpg(group, SIGKILL);
        ModelTest::TearDown();
    }

    QMap<QString, QString> quietEnvironment() const
    {
        return WranglerInstall::quietEnvironment(home.path());
    }

    std::unique_ptr<AppModel> makeQuietModel()
    {
        AppModelContext settings = context(quietEnvironment());
        // Only Wrangler's own ready line may mark the server running.
        settings.readyFallbackDelay = std::chrono::minutes(10);
        settings.externalRefreshDelay = std::chrono::milliseconds(100);
        settings.pollInterval = std::chrono::milliseconds(250);
        return std::make_unique<AppModel>(std::move(settings));
    }

    const WranglerInstall::Result* install = &WranglerInstall::shared();
    TempFolder home;
    QString folder;
    QList<qint32> groups;
};

TEST_F(WranglerRealTest, AWorkerStartedByTheModelServesOnItsPrintedAddressAndStopsCompletely)
{
    const auto model = makeQuietModel();
    ProjectRuntime* runtime = model->runtimeFor(folder);
    model->startProject(folder);

    WAIT_UNTIL(runtime->pid().has_value() || runtime->status().kind() == ProjectStatus::Kind::error,
               60000);
    ASSERT_TRUE(runtime->pid().has_value()) << runtime->status().message().toStdString();
    const qint32 group = *runtime->pid();
    groups.append(group);
    EXPECT_TRUE(runtime->managed());

    WAIT_UNTIL(runtime->status().kind() != ProjectStatus::Kind::starting, 120000);
    ASSERT_EQ(runtime->status(), ProjectStatus::running())
        << logTexts(*runtime).join(u'\n').toStdString();
    ASSERT_TRUE(runtime->url().has_value());
    const int port = runtime->url()->port();
    EXPECT_EQ(runtime->url(), QUrl(QStringLiteral("http://localhost:%1").arg(port)));
    EXPECT_EQ(model->findProject(folder)->port, port) << "the printed address is the saved port";
    EXPECT_TRUE(model->findProject(folder)->inspectorPort.has_value());
    EXPECT_TRUE(logTexts(*runtime).contains(
        QStringLiteral("[wrangler:info] Ready on http://localhost:%1").arg(port)));

    EXPECT_EQ(httpGet(port, "/"), "hello from the fixture worker at /\n");

    model->stopProject(folder);
    WAIT_UNTIL(!runtime->managed(), 60000);
    EXPECT_EQ(runtime->status(), ProjectStatus::stopped());
    EXPECT_FALSE(runtime->url().has_value());
    WAIT_UNTIL(livingMembers(group).isEmpty(), 30000)
        << livingMembers(group).join(QStringLiteral(", ")).toStdString();
    EXPECT_FALSE(QFile::exists(support.filePath(QStringLiteral("running.json"))))
        << "the running record went with the server";
}

TEST_F(WranglerRealTest, TheRequestLinesOfARealServerAreItsTraffic)
{
    const auto model = makeQuietModel();
    ProjectRuntime* runtime = model->runtimeFor(folder);
    model->startProject(folder);
    WAIT_UNTIL(runtime->pid().has_value() || runtime->status().kind() == ProjectStatus::Kind::error,
               60000);
    ASSERT_TRUE(runtime->pid().has_value()) << runtime->status().message().toStdString();
    groups.append(*runtime->pid());
    WAIT_UNTIL(runtime->status().kind() != ProjectStatus::Kind::starting, 120000);
    ASSERT_EQ(runtime->status(), ProjectStatus::running())
        << logTexts(*runtime).join(u'\n').toStdString();
    const int port = runtime->url()->port();

    // 30 requests: 6 answered 500, three of them by an exception the Worker did not catch.
    QList<int> statuses;
    for (int i = 0; i < 30; ++i) {
        const QByteArray path = i % 10 == 3 ? "/throw" : i % 10 == 7 ? "/fail" : "/ok?n=1";
        statuses.append(Loopback::get(port, path).status);
    }
    EXPECT_EQ(statuses.count(500), 6);
    EXPECT_EQ(statuses.count(200), 24);

    const ServerActivity& activity = *runtime->activity();
    WAIT_UNTIL(activity.traffic().requests == 30, 30000)
        << logTexts(*runtime).join(u'\n').toStdString();
    const TrafficSummary traffic = activity.traffic();
    EXPECT_EQ(traffic.errors, 6u) << logTexts(*runtime).join(u'\n').toStdString();
    EXPECT_EQ(traffic.statusClasses[1], 24u);
    EXPECT_EQ(traffic.statusClasses[4], 6u);
    EXPECT_EQ(traffic.perMinute.back().requests + traffic.perMinute[58].requests, 30u);
    ASSERT_EQ(traffic.failed.size(), 5);
    EXPECT_TRUE(traffic.failed.first().path == u"/fail" ||
                traffic.failed.first().path == u"/throw");
    int thrown = 0;
    for (const RequestRecord& failed : traffic.failed)
        thrown += failed.failure.contains(QStringLiteral("thrown on purpose"));
    EXPECT_GE(thrown, 2) << "the exceptions are told with the 500s they caused";
    EXPECT_TRUE(traffic.p50Ms.has_value());

    model->stopProject(folder);
    WAIT_UNTIL(!runtime->managed(), 60000);
    EXPECT_EQ(activity.traffic().requests, 30u) << "the project's figures outlive the run";
}

TEST_F(WranglerRealTest, AWorkerStartedFromATerminalIsFoundOnItsPortAndStoppedAfterAsking)
{
    const int port = Loopback::freeLowPort(20000 + int(::getpid() % 5000));
    const int inspectorPort = Loopback::freeLowPort(port + 1);
    ASSERT_GT(port, 0);
    ASSERT_GT(inspectorPort, port);

    // As a terminal would: its own process group, the user's environment.
    QProcess terminal;
    terminal.setWorkingDirectory(folder);
    terminal.setProcessChannelMode(QProcess::MergedChannels);
    terminal.setStandardInputFile(QProcess::nullDevice());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QMap<QString, QString> quiet = quietEnvironment();
    for (auto it = quiet.begin(); it != quiet.end(); ++it)
        environment.insert(it.key(), it.value());
    environment.insert(QStringLiteral("NO_COLOR"), QStringLiteral("1"));
    terminal.setProcessEnvironment(environment);
    terminal.setChildProcessModifier([] { ::setpgid(0, 0); });
    terminal.start(
        QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"), QStringLiteral("npx wrangler dev --port %1 --inspector-port %2")
                                   .arg(port)
                                   .arg(inspectorPort)});
    ASSERT_TRUE(terminal.waitForStarted(10000));
    const qint32 group = qint32(terminal.processId());
    groups.append(group);
    QByteArray output;
    WAIT_UNTIL((output += terminal.readAll()).contains("Ready on"), 120000);

    const auto model = makeQuietModel();
    ProjectRuntime* runtime = model->runtimeFor(folder);
    // With the main window shown the model looks again and again, as it does for the user.
    model->windowAppeared();
    WAIT_UNTIL(runtime->external(), 30000);
    EXPECT_EQ(runtime->status(), ProjectStatus::running());
    EXPECT_EQ(runtime->url(), QUrl(QStringLiteral("http://localhost:%1").arg(port)))
        << "the dev port, not one the system handed out";
    EXPECT_FALSE(runtime->managed());
    EXPECT_GE(runtime->externalPIDs().size(), 3) << "two workerd and the node above them";

    desktop.alerts.queueAnswer(0);
    std::optional<bool> answer;
    deliverTo(model.get(), model->confirmExternalStop(folder, false),
              [&](bool confirmed) { answer = confirmed; });
    WAIT_UNTIL(answer.has_value(), 10000);
    EXPECT_TRUE(*answer);
    EXPECT_EQ(desktop.alerts.messages(), QStringList{QStringLiteral("Stop hello-worker?")});

    WAIT_UNTIL(livingMembers(group).isEmpty(), 60000)
        << livingMembers(group).join(QStringLiteral(", ")).toStdString();
    WAIT_UNTIL(terminal.state() == QProcess::NotRunning, 30000);
    // A refresh after the processes have gone clears the run state.
    WAIT_UNTIL(!runtime->external(), 30000);
    EXPECT_EQ(runtime->status(), ProjectStatus::stopped());
    EXPECT_FALSE(runtime->url().has_value());
}

// A TOML configuration whose [env.staging] sets a different variable: with staging chosen the
// server answers with staging's value; back at the top level it answers with the top level's,
// although the login shell's CLOUDFLARE_ENV names staging.
TEST_F(WranglerRealTest, TheChosenEnvironmentIsTheOneThatAnswersAndTheTopLevelIsReallyTheTopLevel)
{
    ASSERT_TRUE(QFile::remove(folder + QStringLiteral("/wrangler.jsonc")));
    QFile toml(folder + QStringLiteral("/wrangler.toml"));
    ASSERT_TRUE(toml.open(QIODevice::WriteOnly));
    toml.write("name = \"hello-worker\"\n"
               "main = \"src/index.js\"\n"
               "compatibility_date = \"2025-06-01\"\n"
               "[vars]\nGREETING = \"hello from the top level\"\n"
               "[env.staging.vars]\nGREETING = \"hello from staging\"\n");
    toml.close();
    Project worker = project(folder, QStringLiteral("hello-worker"));
    saveRegistry({{}, {worker}});

    QMap<QString, QString> shell = quietEnvironment();
    shell.insert(QStringLiteral("CLOUDFLARE_ENV"), QStringLiteral("staging"));
    AppModelContext settings = context(shell);
    settings.readyFallbackDelay = std::chrono::minutes(10);
    const auto model = std::make_unique<AppModel>(std::move(settings));
    ProjectRuntime* runtime = model->runtimeFor(folder);

    // Starts with `environment` chosen, fetches "/", stops; the body, or what went wrong.
    const auto serve = [&](const std::optional<QString>& environment) -> QByteArray {
        model->setEnvironment(folder, environment);
        model->startProject(folder);
        (void)QTest::qWaitFor(
            [&] {
                return runtime->pid().has_value() ||
                       runtime->status().kind() == ProjectStatus::Kind::error;
            },
            60000);
        if (!runtime->pid())
            return "not started: " + runtime->status().message().toUtf8();
        groups.append(*runtime->pid());
        (void)QTest::qWaitFor(
            [&] { return runtime->status().kind() != ProjectStatus::Kind::starting; }, 120000);
        if (runtime->status() != ProjectStatus::running() || !runtime->url())
            return "not running: " + logTexts(*runtime).join(u'\n').toUtf8();
        QByteArray body = httpGet(runtime->url()->port(), "/");
        model->stopProject(folder);
        if (!QTest::qWaitFor([&] { return !runtime->managed(); }, 60000))
            return "not stopped: " + body;
        return body;
    };

    // The line the log opens each start with, naming the command.
    const auto lastStart = [&] {
        const QStringList texts = logTexts(*runtime);
        for (qsizetype i = texts.size() - 1; i >= 0; --i)
            if (texts[i].startsWith(QStringLiteral("▶ ")))
                return texts[i];
        return QString();
    };
    EXPECT_EQ(serve(QStringLiteral("staging")), "hello from staging at /\n");
    EXPECT_TRUE(lastStart().contains(QStringLiteral("wrangler dev --env staging")))
        << lastStart().toStdString();
    EXPECT_EQ(loadRegistry()->projects.first().environment, QStringLiteral("staging"));

    EXPECT_EQ(serve(std::nullopt), "hello from the top level at /\n");
    EXPECT_FALSE(lastStart().contains(QStringLiteral("--env"))) << lastStart().toStdString();
}
