#include "base/deliver.h"
#include "model_fixture.h"
#include "runs/project_runtime.h"
#include "support/loopback.h"
#include "support/npm_install.h"
#include "support/wait_until.h"
#include "support/wrangler_install.h"

#include <QDir>
#include <QFile>

#include <csignal>

// The real thing, newer: Wrangler 4.168.0 (which keeps local observability on by default) on
// Node.js 22 from the npm registry, running the fixture Worker; its traffic is read from the
// observability endpoint. Skipped (with the reason) when npm cannot install either.

namespace {

constexpr char wranglerVersion[] = "4.168.0";
constexpr char nodeVersion[] = "22.23.3";

struct Installs
{
    NpmInstall::Result wrangler;
    NpmInstall::Result node;
};

const Installs& installs()
{
    static const Installs result = [] {
        Installs tried;
        tried.node = NpmInstall::ensureInstalled(
            QStringLiteral("node"), QLatin1String(nodeVersion),
            QStringLiteral("node-") + QLatin1String(nodeVersion), QStringLiteral("node/bin/node"));
        if (tried.node.ok())
            tried.wrangler = NpmInstall::ensureInstalled(
                QStringLiteral("wrangler"), QLatin1String(wranglerVersion),
                QStringLiteral("wrangler-") + QLatin1String(wranglerVersion),
                QStringLiteral(".bin/wrangler"));
        return tried;
    }();
    return result;
}

// The status code of a GET of `path` on 127.0.0.1:port; 0 on failure.
int httpStatus(int port, const QByteArray& path)
{
    return Loopback::get(port, path).status;
}

QString logText(const ProjectRuntime& runtime)
{
    QStringList texts;
    for (const LogLine& line : runtime.log()->lines())
        texts.append(line.text);
    return texts.join(u'\n');
}

} // namespace

class WranglerRealObservabilityTest : public ModelTest
{
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        if (!installs().node.ok())
            GTEST_SKIP() << "no Node.js " << nodeVersion
                         << " from the npm registry: " << installs().node.failure.toStdString();
        if (!installs().wrangler.ok())
            GTEST_SKIP() << "no real Wrangler " << wranglerVersion << ": "
                         << installs().wrangler.failure.toStdString();
        const QString source =
            QStringLiteral(TALLOWMERE_SOURCE_DIR "/tests/model/fixtures/hello-worker");
        folder = sites.makeDir(QStringLiteral("hello-worker"));
        const QString failure = WranglerInstall::placeWorker(
            installs().wrangler.nodeModules(), source, folder,
            {QStringLiteral("wrangler.jsonc"), QStringLiteral("src/index.js")});
        ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
        Project worker = project(folder, QStringLiteral("hello-worker"));
        worker.configFile = QStringLiteral("wrangler.jsonc");
        saveRegistry({{}, {worker}});
    }

    void TearDown() override
    {
        for (qint32 group : std::as_const(groups))
            ::killpg(group, SIGKILL);
        ModelTest::TearDown();
    }

    std::unique_ptr<AppModel> makeModel()
    {
        // Node 22 first on the path: npx and Wrangler run on it.
        const QString nodeBin = installs().node.nodeModules() + QStringLiteral("/node/bin");
        AppModelContext settings =
            context({{QStringLiteral("PATH"), nodeBin + QStringLiteral(":/usr/bin:/bin")},
                     {QStringLiteral("HOME"), home.path()},
                     {QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral(".config"))},
                     {QStringLiteral("WRANGLER_SEND_METRICS"), QStringLiteral("false")},
                     {QStringLiteral("CI"), QStringLiteral("true")}});
        settings.readyFallbackDelay = std::chrono::minutes(10);
        return std::make_unique<AppModel>(std::move(settings));
    }

    // Starts the project and waits for it to run; returns its port (0 on failure).
    int startAndWait(AppModel& model, ProjectRuntime& runtime)
    {
        model.startProject(folder);
        if (!QTest::qWaitFor(
                [&] {
                    return runtime.pid() || runtime.status().kind() == ProjectStatus::Kind::error;
                },
                60000) ||
            !runtime.pid())
            return 0;
        groups.append(*runtime.pid());
        if (!QTest::qWaitFor(
                [&] { return runtime.status().kind() != ProjectStatus::Kind::starting; }, 120000) ||
            runtime.status() != ProjectStatus::running() || !runtime.url())
            return 0;
        return runtime.url()->port();
    }

    // Looks at the project's traffic as the Overview does, once the read is in.
    void look(AppModel& model)
    {
        bool done = false;
        deliverTo(&model, model.refreshTraffic(folder), [&done] { done = true; });
        (void)QTest::qWaitFor([&] { return done; }, 10000);
    }

    TempFolder home;
    QString folder;
    QList<qint32> groups;
};

TEST_F(WranglerRealObservabilityTest, TheTrafficOfARealServerIsReadFromItsObservabilityOnce)
{
    const auto model = makeModel();
    ProjectRuntime* runtime = model->runtimeFor(folder);
    int port = startAndWait(*model, *runtime);
    ASSERT_GT(port, 0) << runtime->status().message().toStdString() << "\n"
                       << logText(*runtime).toStdString();
    const ServerActivity& activity = *runtime->activity();

    // Nothing looks yet: the request lines count.
    EXPECT_EQ(httpStatus(port, "/early"), 200);
    EXPECT_EQ(httpStatus(port, "/early"), 200);
    WAIT_UNTIL(activity.traffic().requests == 2, 30000) << logText(*runtime).toStdString();
    EXPECT_EQ(activity.source(), ServerActivity::Source::requestLines);

    // The first look finds the endpoint; the two requests the lines counted stay two.
    look(*model);
    ASSERT_EQ(activity.source(), ServerActivity::Source::endpoint);
    EXPECT_EQ(activity.traffic().requests, 2u);

    // 12 requests, 5 answered 500 (3 of them after an uncaught exception). Their lines
    // are printed as before, and no longer counted: only the reads of the endpoint count them.
    QList<int> statuses;
    for (int i = 0; i < 12; ++i) {
        const QByteArray path = i % 5 == 1 ? "/throw" : i % 4 == 2 ? "/fail" : "/ok?n=1";
        statuses.append(httpStatus(port, path));
    }
    EXPECT_EQ(statuses.count(500), 5);
    WAIT_UNTIL(logText(*runtime).count(QStringLiteral("[wrangler:info] GET /")) >= 14, 30000);
    EXPECT_EQ(activity.traffic().requests, 2u) << "lines count no more";
    // A look reads at most every five seconds.
    WAIT_UNTIL((look(*model), activity.traffic().requests >= 14), 30000);
    TrafficSummary traffic = activity.traffic();
    EXPECT_EQ(traffic.requests, 14u);
    EXPECT_EQ(traffic.errors, 5u);
    EXPECT_EQ(traffic.statusClasses[1], 9u);
    EXPECT_EQ(traffic.statusClasses[4], 5u);
    EXPECT_EQ(traffic.perMinute.back().requests + traffic.perMinute[58].requests, 14u);
    ASSERT_EQ(traffic.failed.size(), 5);
    for (const RequestRecord& failed : traffic.failed)
        EXPECT_TRUE(failed.path == u"/fail" || failed.path == u"/throw")
            << failed.path.toStdString();
    EXPECT_TRUE(traffic.p50Ms && traffic.p95Ms);

    // Another run of the same server: the spans it kept from the first run count no more.
    model->stopProject(folder);
    WAIT_UNTIL(!runtime->managed(), 60000);
    port = startAndWait(*model, *runtime);
    ASSERT_GT(port, 0) << logText(*runtime).toStdString();
    look(*model);
    EXPECT_EQ(activity.source(), ServerActivity::Source::endpoint);
    EXPECT_EQ(httpStatus(port, "/again"), 200);
    WAIT_UNTIL((look(*model), activity.traffic().requests >= 15), 30000);
    QTest::qWait(5500);
    look(*model);
    EXPECT_EQ(activity.traffic().requests, 15u);

    model->stopProject(folder);
    WAIT_UNTIL(!runtime->managed(), 60000);
}
