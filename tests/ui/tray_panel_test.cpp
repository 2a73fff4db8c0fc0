// The application as a desktop session sees it: the real executable on a private X server and
// session bus, its tray item read and clicked over com.canonical.dbusmenu as a panel does.
#include "storage/registry_file.h"
#include "supervision/process_groups.h"
#include "support/qt_gtest_printers.h"
#include "support/temp_folder.h"
#include "support/wait_until.h"
#include "ui/support/panel_session.h"
#include "ui/tray/tray_watch.h"

#include <QDBusConnectionInterface>
#include <QDBusVariant>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QScopeGuard>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

namespace {

// The id of the window titled "Tallowmere" that is on screen, or 0.
quint32 mappedMainWindow(const QString& display)
{
    QProcess tree;
    tree.start(QStringLiteral("xwininfo"), {QStringLiteral("-display"), display,
                                            QStringLiteral("-root"), QStringLiteral("-tree")});
    tree.waitForFinished(5000);
    static const QRegularExpression titled(QStringLiteral(R"(^\s*(0x[0-9a-f]+) "Tallowmere")"),
                                           QRegularExpression::MultilineOption);
    auto matches = titled.globalMatch(QString::fromUtf8(tree.readAllStandardOutput()));
    while (matches.hasNext()) {
        const QString id = matches.next().captured(1);
        QProcess info;
        info.start(QStringLiteral("xwininfo"),
                   {QStringLiteral("-display"), display, QStringLiteral("-id"), id});
        info.waitForFinished(5000);
        if (info.readAllStandardOutput().contains("Map State: IsViewable"))
            return id.toUInt(nullptr, 16);
    }
    return 0;
}

bool mainWindowMapped(const QString& display)
{
    return mappedMainWindow(display) != 0;
}

// Asks the window to close as a window manager does for its close button: WM_DELETE_WINDOW.
void askToClose(const QString& display, quint32 window)
{
    xcb_connection_t* connection = xcb_connect(display.toLatin1().constData(), nullptr);
    const auto atom = [connection](const char* name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, uint16_t(strlen(name)), name), nullptr);
        const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return value;
    };
    xcb_client_message_event_t event = {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection, 0, window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(connection);
    xcb_disconnect(connection);
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

    void start(const QList<Project>& projects, const QStringList& arguments,
               const QMap<QString, QString>& extra = {})
    {
        const QString support = sites.makeDir(QStringLiteral("support"));
        if (!projects.isEmpty())
            sites.write(QStringLiteral("support/registry.json"),
                        QJsonDocument(encodeRegistry({{}, projects})).toJson());
        QProcessEnvironment environment = session_.environment();
        environment.insert(QStringLiteral("TALLOWMERE_SUPPORT_DIR"), support);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), sites.filePath("config"));
        environment.insert(QStringLiteral("SHELL"), QStringLiteral("/bin/sh"));
        for (auto it = extra.cbegin(); it != extra.cend(); ++it)
            environment.insert(it.key(), it.value());
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
    // How many servers "running.json" records.
    int records()
    {
        return int(readWholeFile(sites.filePath("support/running.json")).count("\"pid\""));
    }
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

QStringList withFixed(const QStringList& projects)
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

// Starts each of `names` from its submenu and returns the group of each server.
QList<qint32> startFromMenu(PanelMenu& panel, RunningApp& app, const QStringList& names)
{
    QList<qint32> groups;
    for (const QString& name : names) {
        const QString title = QStringLiteral("○  ") + name;
        if (!panel.clickUntil({title, "Start"}, [&] { return app.pidsOf(name).size() == 1; }))
            return {};
        groups.append(app.pidsOf(name).first());
    }
    return groups;
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

TEST(TrayPanel, ATrayThatComesAfterALoginLaunchTakesTheItemAndClicksOnItOpenTheWindow)
{
    PrivateSession session;
    ASSERT_TRUE(session.ok()) << session.problem().toStdString();
    RunningApp app(session);
    QElapsedTimer launched;
    launched.start();
    app.start({}, {QStringLiteral("--autostart")});

    // The panel starts 5 s after the application, as it often does at login.
    QTest::qWait(5000);
    ASSERT_EQ(app.process().state(), QProcess::Running);
    EXPECT_FALSE(mainWindowMapped(session.display()));
    QObject watcherObject;
    StatusNotifierWatcher* watcher = StatusNotifierWatcher::serve(session.bus(), &watcherObject);
    WAIT_UNTIL(!watcher->firstItemService().isEmpty(), 10000);
    PanelMenu panel(session.bus(), watcher->firstItemService());
    expectMenu(panel, withFixed({"No projects yet"}), 10000);

    // Past the grace period for a tray, the window still stays closed.
    QTest::qWait(int(qMax<qint64>(0, TrayWatch::graceMs + 1500 - launched.elapsed())));
    EXPECT_FALSE(mainWindowMapped(session.display()));

    // The wheel leaves everything as it was; a left click opens the window.
    PanelItem item(session.bus(), watcher->firstItemService());
    EXPECT_TRUE(item.scroll(120, QStringLiteral("vertical")));
    QTest::qWait(300);
    ASSERT_EQ(app.process().state(), QProcess::Running);
    EXPECT_FALSE(mainWindowMapped(session.display()));
    EXPECT_TRUE(item.activate(1270, 790));
    WAIT_UNTIL(mainWindowMapped(session.display()), 10000);

    // With the tray there now, closing the window hides it; a middle click brings it back.
    askToClose(session.display(), mappedMainWindow(session.display()));
    WAIT_UNTIL(!mainWindowMapped(session.display()), 10000);
    QTest::qWait(300);
    ASSERT_EQ(app.process().state(), QProcess::Running);
    EXPECT_TRUE(item.secondaryActivate(1270, 790));
    WAIT_UNTIL(mainWindowMapped(session.display()), 10000);

    // A right click where the panel draws no menu of its own pops up the item's menu.
    EXPECT_TRUE(item.contextMenu(1270, 790));
    QTest::qWait(300);
    ASSERT_EQ(app.process().state(), QProcess::Running);

    ASSERT_TRUE(panel.clickUntil({"Quit Tallowmere"},
                                 [&] { return app.process().state() == QProcess::NotRunning; }));
    EXPECT_EQ(app.process().exitCode(), 0);
}

TEST(TrayPanel, TheDisplayGoingAwayStopsEveryServerAndRemovesTheirRecords)
{
    PrivateSession session;
    ASSERT_TRUE(session.ok()) << session.problem().toStdString();
    QObject watcherObject;
    StatusNotifierWatcher* watcher = StatusNotifierWatcher::serve(session.bus(), &watcherObject);
    RunningApp app(session);
    // One server stops on SIGTERM, the other ignores it and needs the SIGKILL.
    const QList<Project> projects{
        app.server("api", "while :; do sleep 0.05; done\n"),
        app.server("stubborn", "trap '' TERM\nwhile :; do sleep 0.05; done\n")};
    app.start(projects, {QStringLiteral("--autostart")});
    WAIT_UNTIL(!watcher->firstItemService().isEmpty(), 30000);
    PanelMenu panel(session.bus(), watcher->firstItemService());
    expectMenu(panel, withFixed({"○  api [" + startEntries, "○  stubborn [" + startEntries}),
               10000);
    const QList<qint32> groups = startFromMenu(panel, app, {"api", "stubborn"});
    ASSERT_EQ(groups.size(), 2);
    WAIT_UNTIL(app.records() == 2, 10000);

    // Qt reports the broken connection and calls exit(): no event loop runs after that.
    session.endDisplay();
    ASSERT_TRUE(app.process().waitForFinished(15000));
    for (const qint32 pgid : groups)
        EXPECT_FALSE(ProcessGroups::groupAlive(pgid)) << pgid;
    EXPECT_EQ(app.records(), 0)
        << readWholeFile(app.sites.filePath("support/running.json")).toStdString();
}

TEST(TrayPanel, ACrashSendsSigtermToEveryServerGroupAndKeepsTheRecords)
{
    for (const char* how : {"segv", "terminate"}) {
        SCOPED_TRACE(how);
        PrivateSession session;
        ASSERT_TRUE(session.ok()) << session.problem().toStdString();
        QObject watcherObject;
        StatusNotifierWatcher* watcher =
            StatusNotifierWatcher::serve(session.bus(), &watcherObject);
        RunningApp app(session);
        // Each server notes the SIGTERM it receives, then ends. It says when its trap is set (a
        // signal that came before would end it unnoted), and it writes nothing to its pipes
        // from then on: the shell reports the killed `sleep` on standard error, and with the
        // reader gone that write would end it by SIGPIPE before its trap runs.
        const auto noting = [&app](const QString& name) {
            return app.server(name, "trap 'echo TERM > ../" + name.toUtf8() +
                                        ".term; exit 0' TERM\nexec >/dev/null 2>&1\necho > ../" +
                                        name.toUtf8() + ".armed\nwhile :; do sleep 0.05; done\n");
        };
        app.start({noting("api"), noting("cron")}, {QStringLiteral("--autostart")},
                  {{QStringLiteral("TALLOWMERE_DEBUG_CRASH"), QString::fromLatin1(how)}});
        WAIT_UNTIL(!watcher->firstItemService().isEmpty(), 30000);
        PanelMenu panel(session.bus(), watcher->firstItemService());
        expectMenu(panel, withFixed({"○  api [" + startEntries, "○  cron [" + startEntries}),
                   10000);
        ASSERT_EQ(startFromMenu(panel, app, {"api", "cron"}).size(), 2);
        WAIT_UNTIL(app.records() == 2, 10000);
        for (const char* name : {"api", "cron"})
            WAIT_UNTIL(QFile::exists(app.sites.filePath(QString::fromLatin1(name) + ".armed")),
                       10000);

        ::kill(qint32(app.process().processId()), SIGUSR1);
        ASSERT_TRUE(app.process().waitForFinished(15000));
        EXPECT_EQ(app.process().exitStatus(), QProcess::CrashExit);
        for (const char* name : {"api", "cron"})
            WAIT_UNTIL(readWholeFile(app.sites.filePath(QString::fromLatin1(name) + ".term"))
                           .startsWith("TERM"),
                       5000);
        // The next launch's recovery reads what was running.
        EXPECT_EQ(app.records(), 2);
    }
}

namespace {

// One panel along the top of the screen: a separator that takes the room, then the status
// tray, so that the icons sit at the right end.
const QByteArray xfcePanelConfig = R"(<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="30"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
        <value type="int" value="2"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="separator">
      <property name="expand" type="bool" value="true"/>
      <property name="style" type="uint" value="0"/>
    </property>
    <property name="plugin-2" type="string" value="systray"/>
  </property>
</channel>
)";

QStringList registeredItems(QDBusConnection& bus)
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.kde.StatusNotifierWatcher")
        << QStringLiteral("RegisteredStatusNotifierItems");
    const QDBusMessage reply = bus.call(get, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().constFirst().value<QDBusVariant>().variant().toStringList();
}

} // namespace

TEST(TrayPanel, OnARealXfcePanelALeftClickOnTheIconOpensTheWindow)
{
    TempFolder home;
    home.write(QStringLiteral(".config/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml"),
               xfcePanelConfig);
    PrivateSession session(home.path());
    ASSERT_TRUE(session.ok()) << session.problem().toStdString();
    QProcess panel;
    QProcessEnvironment panelEnvironment = session.environment();
    panelEnvironment.insert(QStringLiteral("HOME"), home.path());
    panelEnvironment.remove(QStringLiteral("XDG_CONFIG_HOME"));
    panel.setProcessEnvironment(panelEnvironment);
    panel.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    panel.start(QStringLiteral("xfce4-panel"), {QStringLiteral("--disable-wm-check")});
    ASSERT_TRUE(panel.waitForStarted(10000)) << "xfce4-panel (scripts/setup.sh installs it)";
    const auto endPanel = qScopeGuard([&panel] {
        panel.kill();
        panel.waitForFinished(5000);
    });
    WAIT_UNTIL(session.bus().interface()->isServiceRegistered(
                   QStringLiteral("org.kde.StatusNotifierWatcher")),
               30000);

    RunningApp app(session);
    app.start({}, {QStringLiteral("--autostart")});
    WAIT_UNTIL(!registeredItems(session.bus()).isEmpty(), 30000);
    EXPECT_FALSE(mainWindowMapped(session.display()));

    // The icon sits at the right end of the 30 px panel once the panel has drawn it; the panel
    // turns the click into Activate. Clicks beside it do nothing, so a few places are tried,
    // again until the icon is there.
    bool opened = false;
    for (int round = 0; round < 10 && !opened; ++round) {
        for (int x = 1266; x > 1226 && !opened; x -= 10) {
            QProcess click;
            click.setProcessEnvironment(session.environment());
            click.start(QStringLiteral("xdotool"),
                        {QStringLiteral("mousemove"), QString::number(x), QStringLiteral("15"),
                         QStringLiteral("click"), QStringLiteral("1")});
            ASSERT_TRUE(click.waitForFinished(10000)) << "xdotool (scripts/setup.sh installs it)";
            opened = QTest::qWaitFor([&] { return mainWindowMapped(session.display()); }, 700);
        }
    }
    EXPECT_TRUE(opened);
    EXPECT_EQ(app.process().state(), QProcess::Running);
}
