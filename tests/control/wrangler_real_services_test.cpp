#include "control/status_report.h"
#include "discovery/dev_registry_watcher.h"
#include "model/model_fixture.h"
#include "model/service_links.h"
#include "model/service_start.h"
#include "runs/project_runtime.h"
#include "storage/registry_file.h"
#include "support/loopback.h"
#include "support/wait_until.h"
#include "support/wrangler_install.h"

#include <csignal>
#include <unistd.h>

// Two real Wrangler 4.86.0 dev servers, each started by the model in its own process, where
// the front Worker binds the back one as a service: they find each other through a dev
// registry folder of the test's own. Skipped (with the reason) when npm cannot install Wrangler.

namespace {

// The status line and body of a GET, as one text to compare; empty on failure.
QByteArray httpGet(int port, const QByteArray& path)
{
    const Loopback::Reply reply = Loopback::get(port, path);
    return reply.status ? reply.statusLine + '\n' + reply.body : QByteArray();
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
            const QString failure = WranglerInstall::placeWorker(*install, source, folder);
            ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
            // Ports of their own, so that neither waits for or takes the other's.
            Project worker = project(folder, QStringLiteral("pair-") + QString::fromLatin1(name));
            worker.configFile = QStringLiteral("wrangler.jsonc");
            worker.port = Loopback::freeLowPort(next);
            worker.inspectorPort = Loopback::freeLowPort(*worker.port + 1);
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
        QMap<QString, QString> environment = WranglerInstall::quietEnvironment(home.path());
        environment.insert(QStringLiteral("WRANGLER_REGISTRY_PATH"), registry.path());
        AppModelContext settings = context(environment);
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
