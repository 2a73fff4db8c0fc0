#include "app/instance_fixture.h"
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

using RemoteTest = InstanceFixture;

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
    // Its first status: the share comes from a second look a moment after the first.
    EXPECT_GE(running.value("cpuPercent").toDouble(-1), 0) << "no processor share";
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
                                QString::number(running.value("pid").toInt()), QStringLiteral("%")})
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
