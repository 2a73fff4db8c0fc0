#include "control/status_report.h"
#include "discovery/dev_registry_watcher.h"
#include "model/model_fixture.h"
#include "model/service_links.h"
#include "model/service_start.h"
#include "runs/project_runtime.h"
#include "storage/registry_file.h"
#include "support/wait_until.h"
#include "support/wrangler_install.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>

#include <csignal>
#include <unistd.h>

// Two real Wrangler 4.86.0 dev servers, each started by the model in its own process, where
// the front Worker binds the back one as a service: they find each other through a dev
// registry folder of the test's own. Skipped (with the reason) when npm cannot install Wrangler.

namespace {

int freeLowPort(int from)
{
    for (int port = from; port < 32000; ++port) {
        QTcpServer probe;
        if (probe.listen(QHostAddress::LocalHost, quint16(port)))
            return port;
    }
    return 0;
}

// The status line and body of a plain HTTP/1.0 GET; empty on failure.
QByteArray httpGet(int port, const QByteArray& path)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, quint16(port));
    if (!socket.waitForConnected(10000))
        return {};
    socket.write("GET " + path + " HTTP/1.0\r\nHost: localhost\r\nConnection: close\r\n\r\n");
    QByteArray response;
    while (socket.waitForReadyRead(30000))
        response += socket.readAll();
    response += socket.readAll();
    const qsizetype body = response.indexOf("\r\n\r\n");
    return body >= 0 ? response.left(response.indexOf("\r\n")) + '\n' + response.mid(body + 4)
                     : QByteArray();
}

bool bindingConnected(const AppModel& model, const QString& path)
{
    const QList<BindingConnection> connections = bindingConnectionsOf(model, path);
    return connections.size() == 1 && connections.first().connected;
}

} // namespace

class WranglerServicesTest : public ModelTest
{
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        if (!install->ok())
            GTEST_SKIP() << "no real Wrangler " << WranglerInstall::version << ": "
                         << install->failure.toStdString();
        QList<Project> projects;
        int next = 21000 + int(::getpid() % 4000);
        for (const char* name : {"front", "back"}) {
            const QString source =
                QStringLiteral(TALLOWMERE_SOURCE_DIR "/tests/control/fixtures/service-pair/") +
                QString::fromLatin1(name);
            const QString folder = sites.makeDir(QString::fromLatin1(name));
            for (const QString& file :
                 {QStringLiteral("wrangler.jsonc"), QStringLiteral("package.json"),
                  QStringLiteral("src/index.js")}) {
                QDir().mkpath(QFileInfo(folder + u'/' + file).absolutePath());
                ASSERT_TRUE(QFile::copy(source + u'/' + file, folder + u'/' + file));
            }
            ASSERT_TRUE(
                QFile::link(install->nodeModules(), folder + QStringLiteral("/node_modules")));
            // Ports of their own, so that neither waits for or takes the other's.
            Project worker = project(folder, QStringLiteral("pair-") + QString::fromLatin1(name));
            worker.configFile = QStringLiteral("wrangler.jsonc");
            worker.port = freeLowPort(next);
            worker.inspectorPort = freeLowPort(*worker.port + 1);
            next = *worker.inspectorPort + 1;
            ASSERT_GT(*worker.inspectorPort, 0);
            projects.append(worker);
        }
        front = projects[0];
        back = projects[1];
        saveRegistry({{}, projects});
    }

    void TearDown() override
    {
        for (qint32 group : std::as_const(groups))
            ::killpg(group, SIGKILL);
        ModelTest::TearDown();
    }

    std::unique_ptr<AppModel> makeQuietModel()
    {
        AppModelContext settings =
            context({{QStringLiteral("HOME"), home.path()},
                     {QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral(".config"))},
                     {QStringLiteral("WRANGLER_SEND_METRICS"), QStringLiteral("false")},
                     {QStringLiteral("CI"), QStringLiteral("true")},
                     {QStringLiteral("WRANGLER_REGISTRY_PATH"), registry.path()}});
        settings.readyFallbackDelay = std::chrono::minutes(10);
        return std::make_unique<AppModel>(std::move(settings));
    }

    const WranglerInstall::Result* install = &WranglerInstall::shared();
    TempFolder home;
    TempFolder registry;
    Project front;
    Project back;
    QList<qint32> groups;
};

TEST_F(WranglerServicesTest, StartWithServicesStartsTheBoundWorkerFirstAndTheBindingFollowsIt)
{
    const auto model = makeQuietModel();
    model->inspectAll();
    WAIT_UNTIL(model->infos().size() == 2, 30000);
    // The reader watches where the model's dev servers register: the test's folder first.
    const QStringList folders = devRegistryFoldersOf(*model);
    ASSERT_FALSE(folders.isEmpty());
    EXPECT_EQ(folders.first(), registry.path());
    model->devRegistry()->setFolders(folders);
    WAIT_UNTIL(model->devRegistry()->isLoaded(), 10000);
    EXPECT_FALSE(bindingConnected(*model, front.path));

    QFuture<ServiceStartOutcome> starting = startWithServices(*model, front.path);
    WAIT_UNTIL(model->runtimeFor(back.path)->pid().has_value(), 60000);
    groups.append(*model->runtimeFor(back.path)->pid());
    EXPECT_FALSE(model->runtimeFor(front.path)->status().isActive())
        << "the bound Worker starts first, alone";
    WAIT_UNTIL(starting.isFinished(), 240000);
    if (const auto pid = model->runtimeFor(front.path)->pid())
        groups.append(*pid);
    ASSERT_EQ(starting.resultCount(), 1);
    const ServiceStartOutcome outcome = starting.result();
    ASSERT_TRUE(outcome.ok()) << outcome.failure->toStdString();
    ASSERT_EQ(outcome.started.size(), 2);
    EXPECT_EQ(outcome.started[0].path, back.path);
    EXPECT_TRUE(outcome.started[0].registered);
    EXPECT_EQ(outcome.started[1].path, front.path);
    EXPECT_EQ(outcome.started[1].address,
              QUrl(QStringLiteral("http://localhost:%1").arg(*front.port)));

    // Answered through the binding, across the two processes.
    EXPECT_EQ(httpGet(*front.port, "/through"),
              "HTTP/1.1 200 OK\nfront got 200: back answers /through\n");
    EXPECT_TRUE(bindingConnected(*model, front.path));
    const QJsonObject status =
        statusEntry(*model, *model->findProject(front.path), QStringLiteral("pair-front"));
    EXPECT_TRUE(status.value(QStringLiteral("registered")).toBool());
    EXPECT_EQ(status.value(QStringLiteral("bindings"))
                  .toArray()
                  .first()
                  .toObject()
                  .value(QStringLiteral("path")),
              back.path);

    // The bound Worker stops: its entry goes, the binding shows not connected, and a request
    // through it no longer reaches it (4.86.0 answers 500 "Network connection lost" here).
    model->stopProject(back.path);
    WAIT_UNTIL(!bindingConnected(*model, front.path), 60000);
    const QByteArray unreachable = httpGet(*front.port, "/again");
    EXPECT_FALSE(unreachable.isEmpty());
    EXPECT_FALSE(unreachable.contains("back answers")) << unreachable.constData();

    const QFuture<void> stopping = model->stopAll();
    WAIT_UNTIL(stopping.isFinished(), 60000);
}
