#include "storage/json_writer.h"
#include "storage/registry_file.h"
#include "support/temp_folder.h"
#include "support/wait_until.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <csignal>
#include <gtest/gtest.h>

// The remote subcommands against a real instance of the application on a temporary support
// folder, with small shell scripts as dev servers.

namespace {

struct ProgramRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

} // namespace

class RemoteTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // A runtime folder as the session provides it: the user's alone.
        QDir().mkpath(runtimeFolder());
        QFile::setPermissions(runtimeFolder(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void TearDown() override
    {
        // Whatever the test left running: the servers' groups, then the instances.
        const ProgramRun status = run({QStringLiteral("status"), QStringLiteral("--json")});
        const QJsonObject document = QJsonDocument::fromJson(status.out.toUtf8()).object();
        for (const QJsonValue& project : document.value(QStringLiteral("projects")).toArray())
            if (const int pid = project.toObject().value(QStringLiteral("pid")).toInt();
                pid > 0 && !project.toObject().value(QStringLiteral("external")).toBool())
                ::kill(-pid, SIGKILL);
        for (QProcess* process : std::as_const(processes_)) {
            process->kill();
            process->waitForFinished(10000);
            delete process;
        }
    }

    QString supportFolder() const { return home.filePath(QStringLiteral("support")); }
    QString runtimeFolder() const { return home.filePath(QStringLiteral("run")); }

    // The environment of every process: no display, private folders, a quick login shell.
    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString& key : environment.keys())
            if (key.startsWith(QStringLiteral("TALLOWMERE_")) || key == u"DISPLAY" ||
                key == u"WAYLAND_DISPLAY")
                environment.remove(key);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("TALLOWMERE_SUPPORT_DIR"), supportFolder());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           home.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("SHELL"), QStringLiteral("/bin/sh"));
        return environment;
    }

    ProgramRun run(const QStringList& arguments, const QMap<QString, QString>& extra = {})
    {
        QProcess process;
        QProcessEnvironment environment = this->environment();
        for (auto it = extra.begin(); it != extra.end(); ++it)
            environment.insert(it.key(), it.value());
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(sites.path());
        process.start(QStringLiteral(TALLOWMERE_EXECUTABLE), arguments);
        ProgramRun result;
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
            process.kill();
            process.waitForFinished();
            return result;
        }
        result.exitCode = process.exitCode();
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

    // A process that outlives the call; killed at the end of the test.
    QProcess* launch(const QString& program, const QStringList& arguments)
    {
        auto* process = new QProcess;
        processes_.append(process);
        process->setProcessEnvironment(environment());
        process->setWorkingDirectory(sites.path());
        process->start(program, arguments);
        process->waitForStarted(10000);
        return process;
    }

    // Registers a project of the custom run mode whose server is a script with `body`.
    QString addProject(const QString& folder, const QString& workerName, const QByteArray& body)
    {
        sites.write(folder + QStringLiteral("/wrangler.toml"),
                    "name = \"" + workerName.toUtf8() + "\"\n");
        Project project;
        project.path = sites.filePath(folder);
        project.configFile = QStringLiteral("wrangler.toml");
        project.name = workerName;
        project.runModeOverride = RunModeKind::custom;
        project.customCommand = sites.writeScript(folder + QStringLiteral("/server.sh"), body);
        registry_.projects.append(project);
        return project.path;
    }

    // Writes the registry and starts the instance; returns once it answers.
    QProcess* startInstance()
    {
        QDir().mkpath(supportFolder());
        QFile file(QDir(supportFolder()).filePath(QStringLiteral("registry.json")));
        if (file.open(QIODevice::WriteOnly))
            file.write(encodeDataFileJson(encodeRegistry(registry_)));
        file.close();
        QProcess* instance = launch(QStringLiteral(TALLOWMERE_EXECUTABLE), {});
        instance->setStandardOutputFile(QProcess::nullDevice());
        const bool answering = QTest::qWaitFor(
            [this] { return run({QStringLiteral("status")}).exitCode == 0; }, 60000);
        EXPECT_TRUE(answering) << "the instance never answered";
        return instance;
    }

    QJsonArray statusProjects()
    {
        const ProgramRun status = run({QStringLiteral("status"), QStringLiteral("--json")});
        EXPECT_EQ(status.exitCode, 0) << status.err.toStdString();
        const QJsonObject document = QJsonDocument::fromJson(status.out.toUtf8()).object();
        EXPECT_EQ(document.value(QStringLiteral("version")), QJsonValue(1));
        return document.value(QStringLiteral("projects")).toArray();
    }

    // `requests` request lines as Wrangler prints them come first, the last of them a 500.
    static QByteArray readyServer(int port, int extraLines = 0, int requests = 0)
    {
        QByteArray body;
        for (int request = 1; request <= requests; ++request)
            body += request == requests
                        ? "echo '[wrangler:info] GET /broken 500 Internal Server Error (40ms)'\n"
                        : "echo '[wrangler:info] GET /r" + QByteArray::number(request) +
                              " 200 OK (2ms)'\n";
        for (int line = 1; line <= extraLines; ++line)
            body += "echo 'line " + QByteArray::number(line) + "'\n";
        return body + "echo 'Ready on http://localhost:" + QByteArray::number(port) +
               "'\nexec sleep 120\n";
    }

    TempFolder home;
    TempFolder sites;

private:
    Registry registry_;
    QList<QProcess*> processes_;
};

TEST_F(RemoteTest, StatusStartLogsAndStopDriveTheRunningInstance)
{
    const QString web =
        addProject(QStringLiteral("web"), QStringLiteral("web"), readyServer(18841, 12, 4));
    const QString firstApi =
        addProject(QStringLiteral("one/api"), QStringLiteral("api"), readyServer(18842));
    const QString secondApi =
        addProject(QStringLiteral("two/api"), QStringLiteral("api"), readyServer(18843));
    startInstance();

    const ProgramRun table = run({QStringLiteral("status")});
    ASSERT_EQ(table.exitCode, 0) << table.err.toStdString();
    QStringList rows = table.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 4) << table.out.toStdString();
    EXPECT_TRUE(rows[0].startsWith(QStringLiteral("NAME"))) << table.out.toStdString();
    const qsizetype statusColumn = rows[0].indexOf(QStringLiteral("STATUS"));
    for (const QString& row : rows.mid(1))
        EXPECT_EQ(row.mid(statusColumn), QStringLiteral("stopped")) << table.out.toStdString();

    const ProgramRun ambiguous = run({QStringLiteral("start"), QStringLiteral("api")});
    EXPECT_EQ(ambiguous.exitCode, 2);
    EXPECT_TRUE(ambiguous.err.contains(QStringLiteral("\"api\" names 2 projects")));
    EXPECT_TRUE(ambiguous.err.contains(firstApi) && ambiguous.err.contains(secondApi))
        << ambiguous.err.toStdString();

    const ProgramRun started = run({QStringLiteral("start"), QStringLiteral("web")});
    ASSERT_EQ(started.exitCode, 0) << started.err.toStdString();
    EXPECT_EQ(started.out, QStringLiteral("web: running at http://localhost:18841\n"));

    const QJsonArray projects = statusProjects();
    ASSERT_EQ(projects.size(), 3);
    const QJsonObject running = projects.at(0).toObject(); // running projects come first
    EXPECT_EQ(running.value("name"), QJsonValue("web"));
    EXPECT_EQ(running.value("path"), QJsonValue(web));
    EXPECT_EQ(running.value("workerName"), QJsonValue("web"));
    EXPECT_EQ(running.value("status"), QJsonValue("running"));
    EXPECT_EQ(running.value("address"), QJsonValue("http://localhost:18841"));
    EXPECT_EQ(running.value("external"), QJsonValue(false));
    EXPECT_GT(running.value("pid").toInt(), 0);
    EXPECT_GT(running.value("memoryBytes").toDouble(), 0);
    // The server's request lines, counted: the 500 is the slowest and the one error.
    const QJsonObject traffic = running.value("traffic").toObject();
    EXPECT_EQ(traffic.value("requests"), QJsonValue(4));
    EXPECT_EQ(traffic.value("errors"), QJsonValue(1));
    EXPECT_EQ(traffic.value("p50Ms"), QJsonValue(2));
    EXPECT_EQ(traffic.value("p95Ms"), QJsonValue(40));
    EXPECT_EQ(traffic.value("windowSeconds"), QJsonValue(300));
    const QJsonObject stopped = projects.at(1).toObject();
    EXPECT_EQ(stopped.value("status"), QJsonValue("stopped"));
    EXPECT_FALSE(stopped.contains("pid") || stopped.contains("address") ||
                 stopped.contains("memoryBytes") || stopped.contains("traffic") ||
                 stopped.contains("cpuPercent"));

    rows = run({QStringLiteral("status")}).out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 4);
    EXPECT_TRUE(rows[1].startsWith(QStringLiteral("web ")));
    for (const QString& cell : {QStringLiteral("running"), QStringLiteral("http://localhost:18841"),
                                QString::number(running.value("pid").toInt())})
        EXPECT_TRUE(rows[1].contains(cell)) << rows[1].toStdString();
    EXPECT_TRUE(rows[1].endsWith(QStringLiteral("here"))) << rows[1].toStdString();
    EXPECT_EQ(rows[0].indexOf(QStringLiteral("ADDRESS")), rows[1].indexOf(QStringLiteral("http")));

    // A restart waits for the new server, not the old one.
    const ProgramRun restarted = run({QStringLiteral("restart"), QStringLiteral("web")});
    ASSERT_EQ(restarted.exitCode, 0) << restarted.err.toStdString();
    EXPECT_EQ(restarted.out, QStringLiteral("web: running at http://localhost:18841\n"));
    const QJsonObject again = statusProjects().at(0).toObject();
    EXPECT_EQ(again.value("status"), QJsonValue("running"));
    EXPECT_NE(again.value("pid"), running.value("pid"));

    // A folder path from the client's working folder names the project too.
    const ProgramRun lastFive = run({QStringLiteral("logs"), QStringLiteral("./web/"),
                                     QStringLiteral("-n"), QStringLiteral("5")});
    ASSERT_EQ(lastFive.exitCode, 0) << lastFive.err.toStdString();
    EXPECT_EQ(lastFive.out, QStringLiteral("line 9\nline 10\nline 11\nline 12\n"
                                           "Ready on http://localhost:18841\n"));

    QProcess* follower = launch(QStringLiteral(TALLOWMERE_EXECUTABLE),
                                {QStringLiteral("logs"), QStringLiteral("web"),
                                 QStringLiteral("-f"), QStringLiteral("-n1")});
    QByteArray followed;
    WAIT_UNTIL((followed += follower->readAllStandardOutput()).contains("Ready on"), 15000);
    const ProgramRun stop = run({QStringLiteral("stop"), QStringLiteral("web")});
    EXPECT_EQ(stop.exitCode, 0) << stop.err.toStdString();
    EXPECT_EQ(stop.out, QStringLiteral("web: stopped\n"));
    ASSERT_TRUE(follower->waitForFinished(15000)) << "logs -f did not end with the server";
    EXPECT_EQ(follower->exitCode(), 0);
    followed += follower->readAllStandardOutput();
    EXPECT_TRUE(followed.contains("process exited")) << followed.constData();
    EXPECT_TRUE(follower->readAllStandardError().contains("the server is stopped"));
}

TEST_F(RemoteTest, StoppingAServerStartedOutsideNeedsYes)
{
    QProcess* other = launch(QStringLiteral("sleep"), {QStringLiteral("120")});
    addProject(QStringLiteral("attached"), QStringLiteral("attached"),
               "echo 'already running at http://localhost:18790 (pid " +
                   QByteArray::number(other->processId()) + ")'\nexit 1\n");
    startInstance();

    const ProgramRun started = run({QStringLiteral("start"), QStringLiteral("attached")});
    ASSERT_EQ(started.exitCode, 0) << started.err.toStdString();
    EXPECT_EQ(started.out, QStringLiteral("attached: running at http://localhost:18790\n"));
    EXPECT_EQ(statusProjects().at(0).toObject().value("external"), QJsonValue(true));

    const ProgramRun asked = run({QStringLiteral("stop"), QStringLiteral("attached")});
    EXPECT_EQ(asked.exitCode, 1);
    EXPECT_EQ(asked.err,
              QStringLiteral("Stop attached? This project wasn't started by Tallowmere (probably "
                             "from a terminal). Stopping it will send a quit signal to its "
                             "wrangler/workerd processes.\nRun again with --yes to stop it.\n"));
    EXPECT_FALSE(other->waitForFinished(300)) << "stopped without --yes";

    const ProgramRun confirmed =
        run({QStringLiteral("stop"), QStringLiteral("attached"), QStringLiteral("--yes")});
    EXPECT_EQ(confirmed.exitCode, 0) << confirmed.err.toStdString();
    EXPECT_EQ(confirmed.out, QStringLiteral("attached: stopped\n"));
    EXPECT_TRUE(other->waitForFinished(5000));
}

TEST_F(RemoteTest, WithoutAnInstanceTheCommandsSayHowToStartOne)
{
    const ProgramRun status = run({QStringLiteral("status")});
    EXPECT_EQ(status.exitCode, 3);
    EXPECT_TRUE(status.err.contains(QStringLiteral("Start it with `tallowmere`")))
        << status.err.toStdString();
    // Usage is checked before the instance is looked for.
    EXPECT_EQ(run({QStringLiteral("logs")}).exitCode, 2);
    EXPECT_EQ(
        run({QStringLiteral("start"), QStringLiteral("web"), QStringLiteral("--bogus")}).exitCode,
        2);
    EXPECT_EQ(run({QStringLiteral("logs"), QStringLiteral("web"), QStringLiteral("-n"),
                   QStringLiteral("lots")})
                  .exitCode,
              2);
}

TEST_F(RemoteTest, OneInstancePerSupportFolderAndAKilledOneIsReplaced)
{
    addProject(QStringLiteral("web"), QStringLiteral("web"), readyServer(18844));
    QProcess* first = startInstance();

    // Later launches hand over and end; the first keeps running.
    const ProgramRun second = run({});
    EXPECT_EQ(second.exitCode, 0) << second.err.toStdString();
    EXPECT_EQ(run({QStringLiteral("--autostart")}).exitCode, 0);
    EXPECT_EQ(first->state(), QProcess::Running);

    // A diagnostic run writes nothing and is not held back.
    const QString icons = home.filePath(QStringLiteral("icons"));
    EXPECT_EQ(run({}, {{QStringLiteral("TALLOWMERE_DEBUG_ICON"), icons}}).exitCode, 0);
    EXPECT_TRUE(QFile::exists(icons + QStringLiteral("/icon-1024.png")));

    // A killed instance leaves its lock and socket behind; the next launch takes both over.
    ::kill(pid_t(first->processId()), SIGKILL);
    first->waitForFinished(10000);
    ASSERT_TRUE(QFile::exists(supportFolder() + QStringLiteral("/instance.lock")));
    QProcess* replacement = startInstance();
    EXPECT_EQ(replacement->state(), QProcess::Running);
    EXPECT_EQ(statusProjects().size(), 1);
}
