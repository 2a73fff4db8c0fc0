// The application as a desktop session sees it: the real executable on a private X server and
// session bus, its tray item read and clicked over com.canonical.dbusmenu as a panel does.
#include "storage/registry_file.h"
#include "support/qt_gtest_printers.h"
#include "support/temp_folder.h"
#include "support/wait_until.h"
#include "ui/support/panel_session.h"

#include <QDir>
#include <QJsonDocument>
#include <QRegularExpression>

#include <csignal>
#include <gtest/gtest.h>

namespace {

// Whether a window titled "Tallowmere" is on screen.
bool mainWindowMapped(const QString& display)
{
    QProcess tree;
    tree.start(QStringLiteral("xwininfo"), {QStringLiteral("-display"), display,
                                            QStringLiteral("-root"), QStringLiteral("-tree")});
    tree.waitForFinished(5000);
    static const QRegularExpression titled(QStringLiteral(R"(^\s*(0x[0-9a-f]+) "Tallowmere")"),
                                           QRegularExpression::MultilineOption);
    auto matches = titled.globalMatch(QString::fromUtf8(tree.readAllStandardOutput()));
    while (matches.hasNext()) {
        QProcess info;
        info.start(QStringLiteral("xwininfo"), {QStringLiteral("-display"), display,
                                                QStringLiteral("-id"), matches.next().captured(1)});
        info.waitForFinished(5000);
        if (info.readAllStandardOutput().contains("Map State: IsViewable"))
            return true;
    }
    return false;
}

// The application with its own support folder and projects, in the private session.
class RunningApp
{
public:
    explicit RunningApp(PrivateSession& session) : session_(session) {}
    ~RunningApp()
    {
        // A failed test still leaves nothing behind: the application is asked to stop its
        // servers, and whatever any server recorded is killed.
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(15000)) {
                process_.kill();
                process_.waitForFinished(5000);
            }
        }
        for (const QString& file : QDir(sites.path()).entryList({QStringLiteral("*.pid")}))
            pidsOf(file.chopped(4));
        for (const qint32 pid : std::as_const(serverPids_))
            ::kill(-pid, SIGKILL);
    }

    // A project whose server is `body`; each run writes its pid to "NAME.pid" in the sites.
    Project server(const QString& name, const QByteArray& body)
    {
        Project project;
        project.path = sites.makeDir(name);
        project.configFile = QStringLiteral("wrangler.jsonc");
        project.name = name;
        sites.write(name + QStringLiteral("/wrangler.jsonc"), "{}");
        project.runModeOverride = RunModeKind::custom;
        project.customCommand =
            sites.writeScript(name + QStringLiteral("/server.sh"),
                              "echo $$ >> ../" + name.toUtf8() + ".pid\n" + body);
        return project;
    }

    void start(const QList<Project>& projects, const QStringList& arguments)
    {
        const QString support = sites.makeDir(QStringLiteral("support"));
        if (!projects.isEmpty())
            sites.write(QStringLiteral("support/registry.json"),
                        QJsonDocument(encodeRegistry({{}, projects})).toJson());
        QProcessEnvironment environment = session_.environment();
        environment.insert(QStringLiteral("TALLOWMERE_SUPPORT_DIR"), support);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), sites.filePath("config"));
        environment.insert(QStringLiteral("SHELL"), QStringLiteral("/bin/sh"));
        process_.setProcessEnvironment(environment);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral(TALLOWMERE_EXECUTABLE), arguments);
    }

    // The pids each run of `name` recorded (remembered for the clean-up).
    QList<qint32> pidsOf(const QString& name)
    {
        QList<qint32> pids;
        for (const QByteArray& line : readWholeFile(sites.filePath(name + ".pid")).split('\n'))
            if (!line.isEmpty())
                pids.append(line.toInt());
        for (const qint32 pid : std::as_const(pids))
            if (!serverPids_.contains(pid))
                serverPids_.append(pid);
        return pids;
    }

    QProcess& process() { return process_; }
    TempFolder sites;

private:
    PrivateSession& session_;
    QProcess process_;
    QList<qint32> serverPids_;
};

bool groupAlive(qint32 pgid)
{
    return ::kill(-pgid, 0) == 0;
}

QStringList withFixed(QStringList projects)
{
    return projects + QStringList{"-", "Show Main Window", "Stop All", "Rescan Folders",
                                  "-", "Quit Tallowmere"};
}

// Waits until the panel reads `expected`; on failure, shows what it read last.
void expectMenu(PanelMenu& panel, const QStringList& expected, int ms)
{
    [[maybe_unused]] const bool settled =
        QTest::qWaitFor([&] { return panel.describeTop() == expected; }, ms);
    EXPECT_EQ(panel.describeTop(), expected);
}

const QString startEntries =
    QStringLiteral("Start, -, Open in Browser, Open Explorer, -, Show in Tallowmere]");
const QString stopEntries =
    QStringLiteral("Stop, Restart, -, Open in Browser, Open Explorer, -, Show in Tallowmere]");

} // namespace

TEST(TrayPanel, EmptyRegistryShowsNoProjectsYetAndQuitEndsAtOnce)
{
    PrivateSession session;
    ASSERT_TRUE(session.ok()) << session.problem().toStdString();
    QObject watcherObject;
    StatusNotifierWatcher* watcher = StatusNotifierWatcher::serve(session.bus(), &watcherObject);
    RunningApp app(session);
    app.start({}, {});
    WAIT_UNTIL(!watcher->firstItemService().isEmpty(), 30000);
    PanelMenu panel(session.bus(), watcher->firstItemService());
    expectMenu(panel, withFixed({"No projects yet"}), 10000);
    // A normal launch opens the main window.
    WAIT_UNTIL(mainWindowMapped(session.display()), 10000);

    ASSERT_TRUE(panel.clickUntil({"Quit Tallowmere"},
                                 [&] { return app.process().state() == QProcess::NotRunning; }));
    EXPECT_EQ(app.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.process().exitCode(), 0);
}

TEST(TrayPanel, StartsFromTheMenuNotifiesWhileHiddenAndTheSessionEndStopsEveryServer)
{
    PrivateSession session;
    ASSERT_TRUE(session.ok()) << session.problem().toStdString();
    QObject watcherObject;
    QObject notificationsObject;
    StatusNotifierWatcher* watcher = StatusNotifierWatcher::serve(session.bus(), &watcherObject);
    NotificationService* notifications =
        NotificationService::serve(session.bus(), &notificationsObject);

    RunningApp app(session);
    const QByteArray serveForever = "while :; do sleep 0.05; done\n";
    Project api = app.server("api", "echo 'Ready on http://localhost:8787'\n" + serveForever);
    api.port = 8787;
    Project old = app.server("old", serveForever);
    old.hidden = true;
    const QList<Project> projects{api, app.server("cron", serveForever),
                                  app.server("queue", serveForever),
                                  app.server("web", "echo boom; exit 1\n"), old};
    app.start(projects, {QStringLiteral("--autostart")});
    WAIT_UNTIL(!watcher->firstItemService().isEmpty(), 30000);
    PanelMenu panel(session.bus(), watcher->firstItemService());
    expectMenu(panel,
               withFixed({"○  api [" + startEntries, "○  cron [" + startEntries,
                          "○  queue [" + startEntries, "○  web [" + startEntries}),
               10000);
    // A launch at login opens no window.
    EXPECT_FALSE(mainWindowMapped(session.display()));

    // A server that fails while the window is hidden: one notification naming it.
    ASSERT_TRUE(panel.clickUntil({"○  web", "Start"},
                                 [&] { return notifications->received().size() == 1; }));
    EXPECT_EQ(notifications->received()[0].summary, QStringLiteral("web"));
    EXPECT_EQ(notifications->received()[0].body, QStringLiteral("Exited with code 1"));
    EXPECT_EQ(notifications->received()[0].appName, QStringLiteral("Tallowmere"));

    for (const char* name : {"api", "cron", "queue"}) {
        const QString title = QStringLiteral("○  ") + QString::fromLatin1(name);
        ASSERT_TRUE(panel.clickUntil({title, "Start"}, [&] {
            return panel.layout().find({title}) == nullptr;
        })) << name;
    }
    expectMenu(panel,
               withFixed({"●  api  :8787 [" + stopEntries, "◐  cron [" + stopEntries,
                          "◐  queue [" + stopEntries, "-", "○  web [" + startEntries}),
               15000);
    QList<qint32> servers;
    for (const char* name : {"api", "cron", "queue"}) {
        WAIT_UNTIL(app.pidsOf(name).size() == 1, 10000);
        servers.append(app.pidsOf(name).first());
    }

    // Activating the notification opens the window; with the window shown, another failure of
    // the same project tells nothing.
    notifications->activate(notifications->received()[0].id);
    WAIT_UNTIL(mainWindowMapped(session.display()), 10000);
    ASSERT_TRUE(
        panel.clickUntil({"○  web", "Start"}, [&] { return app.pidsOf("web").size() == 2; }));
    WAIT_UNTIL(panel.describeTop().contains("○  web [" + startEntries), 10000);
    EXPECT_EQ(notifications->received().size(), 1);

    // The session ends: every server stops, then the application exits 0.
    const auto records = [&] {
        return readWholeFile(app.sites.filePath("support/running.json")).count("\"pid\"");
    };
    [[maybe_unused]] const bool recorded = QTest::qWaitFor([&] { return records() == 3; }, 10000);
    ASSERT_EQ(records(), 3)
        << readWholeFile(app.sites.filePath("support/running.json")).toStdString();
    app.process().terminate();
    ASSERT_TRUE(app.process().waitForFinished(20000));
    EXPECT_EQ(app.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.process().exitCode(), 0);
    for (const qint32 pid : std::as_const(servers))
        EXPECT_FALSE(groupAlive(pid)) << pid;
    EXPECT_FALSE(readWholeFile(app.sites.filePath("support/running.json")).contains("pid"));
}
