#include "control/status_report.h"
#include "discovery/dev_registry_watcher.h"
#include "model/server_fixture.h"
#include "model/service_links.h"
#include "model/service_start.h"
#include "support/loopback.h"

#include <QFutureWatcher>

// Starting a project with the local services it binds to, with shell scripts as dev servers
// that register in a real registry folder the way Wrangler does: a file named after the Worker
// naming a debug port that listens (held by the test), removed when the server is stopped.

namespace {

using Loopback::Listener;

template <typename T> std::optional<T> await(QFuture<T> future, int timeoutMs)
{
    if (!QTest::qWaitFor([&] { return future.isFinished(); }, timeoutMs) ||
        future.resultCount() == 0)
        return std::nullopt;
    return future.result();
}

} // namespace

class ServiceStartTest : public ServerTest
{
protected:
    // A project whose server waits a moment, appends its name to the start log, registers its
    // Worker and announces its address; a stop removes the registration, like Wrangler's.
    // `bindings` is TOML after the name.
    QString serviceProject(const QString& name, const Listener& debugPort, int httpPort,
                           const QByteArray& bindings, const QByteArray& beforeReady = {})
    {
        const QByteArray file = registry.filePath(name).toUtf8();
        QString folder = serverProject(
            name, "trap 'rm -f \"" + file + "\"; exit 0' TERM\nsleep 0.3\necho " + name.toUtf8() +
                      " >> \"" + startLog.toUtf8() + "\"\n" + beforeReady +
                      "printf '{\"debugPortAddress\": \"" + debugPort.address().toUtf8() +
                      "\"}' > \"" + file + "\"\necho '[wrangler:info] Ready on http://localhost:" +
                      QByteArray::number(httpPort) + "'\nwhile :; do sleep 0.1; done\n");
        sites.write(name + QStringLiteral("/wrangler.toml"),
                    "name = \"" + name.toUtf8() + "\"\n" + bindings);
        return folder;
    }

    QStringList started() const
    {
        return QString::fromUtf8(readWholeFile(startLog)).split(u'\n', Qt::SkipEmptyParts);
    }

    std::unique_ptr<AppModel> watchingModel()
    {
        auto model = serverModel();
        model->inspectAll();
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return model->infos().size() == registered.size(); }, 10000));
        model->devRegistry()->setFolders({registry.path()});
        EXPECT_TRUE(QTest::qWaitFor([&] { return model->devRegistry()->isLoaded(); }, 5000));
        return model;
    }

    TempFolder registry;
    TempFolder logs;
    QString startLog = logs.filePath(QStringLiteral("started"));
};

// web needs api (a service), api needs auth (a Durable Object of auth's script) and web also
// binds a Worker nothing here provides.
TEST_F(ServiceStartTest, StartsEachServiceBeforeWhatNeedsItAndLeavesRunningOnesAlone)
{
    Listener authPort, apiPort, webPort;
    const QString auth = serviceProject(QStringLiteral("auth"), authPort, 18801, {});
    const QString api = serviceProject(
        QStringLiteral("api"), apiPort, 18802,
        "[[durable_objects.bindings]]\nname = \"SESSIONS\"\nclass_name = \"Session\"\n"
        "script_name = \"auth\"\n");
    const QString web = serviceProject(QStringLiteral("web"), webPort, 18803,
                                       "[[services]]\nbinding = \"API\"\nservice = \"api\"\n"
                                       "[[services]]\nbinding = \"PAY\"\nservice = \"payments\"\n");
    auto model = watchingModel();
    ASSERT_TRUE(needsLocalServices(*model, web));
    EXPECT_FALSE(needsLocalServices(*model, auth));

    const auto outcome = await(startWithServices(*model, web), 30000);
    ASSERT_TRUE(outcome);
    ASSERT_TRUE(outcome->ok()) << outcome->failure->toStdString();
    EXPECT_EQ(started(),
              (QStringList{QStringLiteral("auth"), QStringLiteral("api"), QStringLiteral("web")}));
    ASSERT_EQ(outcome->started.size(), 3);
    EXPECT_EQ(outcome->started[0].path, auth);
    EXPECT_EQ(outcome->started[0].address, QUrl(QStringLiteral("http://localhost:18801")));
    EXPECT_TRUE(outcome->started[1].registered);
    EXPECT_EQ(serviceStartNotes(*model, *outcome),
              QStringList{QStringLiteral("web binds to payments, which no single registered "
                                         "project provides")});

    // The status report: registered, and each binding to a Worker with its state.
    const auto webEntry = [&] {
        return statusEntry(*model, *model->findProject(web), QStringLiteral("web"));
    };
    WAIT_UNTIL(webEntry().value(QStringLiteral("registered")).toBool(), 5000);
    EXPECT_EQ(webEntry().value(QStringLiteral("bindings")).toArray(),
              QJsonDocument::fromJson(R"([
                  {"binding": "API", "worker": "api", "connected": true, "path": ")" +
                                      api.toUtf8() + R"("},
                  {"binding": "PAY", "worker": "payments", "connected": false}])")
                  .array());

    // api stops and unregisters: the binding is no longer connected.
    model->stopProject(api);
    WAIT_UNTIL(!webEntry()
                    .value(QStringLiteral("bindings"))
                    .toArray()
                    .first()
                    .toObject()
                    .value(QStringLiteral("connected"))
                    .toBool(),
               10000);

    // Again: only the stopped service starts; auth and web keep running as they were.
    const auto again = await(startWithServices(*model, web), 30000);
    ASSERT_TRUE(again && again->ok());
    ASSERT_EQ(again->started.size(), 1);
    EXPECT_EQ(again->started.first().path, api);
    EXPECT_EQ(started().size(), 4);
    const QFuture<void> stopping = model->stopAll();
    WAIT_UNTIL(stopping.isFinished(), 10000);
}

// A service that fails ends the start there: what needs it is not started.
TEST_F(ServiceStartTest, AServiceThatFailsStopsTheStart)
{
    Listener authPort, webPort;
    serviceProject(QStringLiteral("auth"), authPort, 18811, {}, "exit 3\n");
    const QString web = serviceProject(QStringLiteral("web"), webPort, 18812,
                                       "[[tail_consumers]]\nservice = \"auth\"\n");
    auto model = watchingModel();
    const auto outcome = await(startWithServices(*model, web), 30000);
    ASSERT_TRUE(outcome);
    ASSERT_FALSE(outcome->ok());
    EXPECT_TRUE(outcome->failure->startsWith(QStringLiteral("auth: ")))
        << outcome->failure->toStdString();
    EXPECT_EQ(started(), QStringList{QStringLiteral("auth")});
    EXPECT_EQ(kind(model->runtimeFor(web)), ProjectStatus::Kind::stopped);
}
