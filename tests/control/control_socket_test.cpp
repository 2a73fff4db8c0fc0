#include "control/control_handler.h"
#include "control/control_server.h"
#include "model/server_fixture.h"

#include <QFileInfo>
#include <QLocalSocket>

#include <algorithm>
#include <unistd.h>

// The control socket against a real model: bad input, many clients, strangers, and the
// requests that reach the desktop.

namespace {

// A client on the test's event loop (the server shares the thread, so nothing may block).
class Client
{
public:
    explicit Client(const QString& socketPath) { socket_.connectToServer(socketPath); }

    bool connected() { return socket_.waitForConnected(5000); }
    void send(const QByteArray& bytes)
    {
        socket_.write(bytes);
        socket_.flush();
    }
    // The next message, once it has arrived within `timeoutMs`.
    std::optional<QJsonObject> next(int timeoutMs = 10000)
    {
        if (!QTest::qWaitFor([this] { return socket_.canReadLine(); }, timeoutMs))
            return std::nullopt;
        return QJsonDocument::fromJson(socket_.readLine()).object();
    }
    bool hasAnswer() const { return socket_.canReadLine(); }
    bool dropped() const { return socket_.state() == QLocalSocket::UnconnectedState; }

private:
    QLocalSocket socket_;
};

QByteArray request(const char* json)
{
    return QByteArray(json) + '\n';
}

} // namespace

class ControlSocketTest : public ServerTest
{
protected:
    void TearDown() override
    {
        server.reset();
        handler.reset();
        ServerTest::TearDown();
    }

    void serve(AppModel& model, std::chrono::milliseconds idleTimeout = std::chrono::seconds(10))
    {
        handler = std::make_unique<ControlHandler>(model, std::chrono::seconds(30));
        server = std::make_unique<ControlServer>(
            [this](const ControlRequest& request, ControlReply* reply) {
                handler->handle(request, reply);
            },
            ControlServerTiming{idleTimeout});
        socketPath = runtimeFolder.filePath(QStringLiteral("control.sock"));
        ASSERT_EQ(server->listen(socketPath), std::nullopt);
    }

    static QStringList names(const QJsonObject& statusAnswer)
    {
        QStringList result;
        for (const QJsonValue project : statusAnswer.value(QStringLiteral("projects")).toArray())
            result.append(project.toObject().value(QStringLiteral("name")).toString());
        return result;
    }

    TempFolder runtimeFolder;
    QString socketPath;
    std::unique_ptr<ControlHandler> handler;
    std::unique_ptr<ControlServer> server;
};

TEST_F(ControlSocketTest, BadInputIsAnsweredOrDroppedAndTheInstanceKeepsServing)
{
    serverProject(QStringLiteral("web"), "exec sleep 60\n");
    serverProject(QStringLiteral("docs"), "exec sleep 60\n");
    const auto model = serverModel();
    serve(*model, std::chrono::milliseconds(400));

    // Errors on one connection leave it usable for the next request.
    Client confused(socketPath);
    ASSERT_TRUE(confused.connected());
    confused.send(request("this is not json") + request(R"({"v":1,"command":"status","x":1})") +
                  request(R"({"v":7,"command":"status"})") +
                  request(R"({"v":1,"command":"status"})"));
    for (const char* expected : {"the request is not a JSON object", "unknown field \"x\"",
                                 "unsupported protocol version (this instance speaks version 1)"}) {
        const std::optional<QJsonObject> answer = confused.next();
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->value("ok"), QJsonValue(false));
        EXPECT_EQ(answer->value("kind"), QJsonValue("usage"));
        EXPECT_EQ(answer->value("error").toString(), QString::fromUtf8(expected));
        EXPECT_EQ(answer->value("v"), QJsonValue(1));
    }
    const std::optional<QJsonObject> status = confused.next();
    ASSERT_TRUE(status);
    EXPECT_EQ(names(*status), (QStringList{"docs", "web"}));

    // A megabyte without a line feed: refused, and nothing after it is taken as a request.
    Client flooding(socketPath);
    ASSERT_TRUE(flooding.connected());
    flooding.send(QByteArray(qsizetype(1024) * 1024, 'x') +
                  request(R"({"v":1,"command":"status"})"));
    const std::optional<QJsonObject> refused = flooding.next();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->value("error").toString(), "the request is longer than 64 KiB");
    WAIT_UNTIL(flooding.dropped(), 10000);
    EXPECT_FALSE(flooding.hasAnswer());

    // Silent clients are dropped after the idle time-out.
    Client silent(socketPath);
    ASSERT_TRUE(silent.connected());
    WAIT_UNTIL(silent.dropped(), 5000);
    EXPECT_TRUE(confused.dropped()) << "idle since its last answer";
    EXPECT_EQ(server->clientCount(), 0);

    Client later(socketPath);
    ASSERT_TRUE(later.connected());
    later.send(request(R"({"v":1,"command":"status"})"));
    const std::optional<QJsonObject> again = later.next();
    ASSERT_TRUE(again);
    EXPECT_EQ(names(*again), (QStringList{"docs", "web"}));
    EXPECT_EQ(savedRegistry().value("projects").toArray().size(), 2) << "nothing was lost";
}

TEST_F(ControlSocketTest, AHundredClientsAtOnceAreAllServed)
{
    serverProject(QStringLiteral("web"), "exec sleep 60\n");
    const auto model = serverModel();
    serve(*model);

    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 100; ++i) {
        clients.push_back(std::make_unique<Client>(socketPath));
        ASSERT_TRUE(clients.back()->connected()) << "client " << i;
    }
    for (const auto& client : clients)
        client->send(request(R"({"v":1,"command":"status"})"));
    for (const auto& client : clients) {
        const std::optional<QJsonObject> answer = client->next();
        ASSERT_TRUE(answer);
        EXPECT_EQ(names(*answer), QStringList{"web"});
    }
    EXPECT_EQ(server->clientCount(), 100);
}

TEST_F(ControlSocketTest, OnlyTheOwnerMayConnect)
{
    const auto model = serverModel();
    serve(*model);
    const QFileInfo socket(socketPath);
    ASSERT_TRUE(socket.exists());
    EXPECT_EQ(socket.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                      QFile::ReadOther | QFile::WriteOther | QFile::ExeOther),
              QFile::Permissions());

    // Seen from the server, this test is now somebody else.
    server->setAllowedUser(::geteuid() + 1);
    Client stranger(socketPath);
    stranger.connected();
    stranger.send(request(R"({"v":1,"command":"status"})"));
    WAIT_UNTIL(stranger.dropped(), 5000);
    EXPECT_FALSE(stranger.hasAnswer());
    EXPECT_EQ(server->clientCount(), 0);
}

TEST_F(ControlSocketTest, ShowStartOpenAndStopActAsTheWindowDoes)
{
    const QString web = serverProject(QStringLiteral("web"),
                                      "echo 'Ready on http://localhost:18881'\nexec sleep 60\n");
    serverProject(QStringLiteral("docs"), "exec sleep 60\n");
    const auto model = serverModel();
    serve(*model);
    Client client(socketPath);
    ASSERT_TRUE(client.connected());

    client.send(request(R"({"v":1,"command":"show"})"));
    ASSERT_TRUE(client.next());
    EXPECT_EQ(desktop.presence.bringToFrontCount(), 1);

    client.send(request(R"({"v":1,"command":"start","names":["web"]})"));
    const std::optional<QJsonObject> started = client.next(20000);
    ASSERT_TRUE(started);
    EXPECT_EQ(started->value("ok"), QJsonValue(true));
    const QJsonObject result = started->value("results").toArray().at(0).toObject();
    EXPECT_EQ(result.value("status"), QJsonValue("running"));
    EXPECT_EQ(result.value("address"), QJsonValue("http://localhost:18881"));
    EXPECT_EQ(result.value("pid").toInteger(), model->runtimeFor(web)->pid().value_or(-1));

    client.send(request(R"({"v":1,"command":"open","names":["web"],"explorer":true})") +
                request(R"({"v":1,"command":"open","names":["docs"]})"));
    ASSERT_TRUE(client.next());
    EXPECT_EQ(desktop.workspace.openedAddresses(),
              QList<QUrl>{QUrl("http://localhost:18881/cdn-cgi/explorer")});
    const std::optional<QJsonObject> notRunning = client.next();
    ASSERT_TRUE(notRunning);
    EXPECT_EQ(notRunning->value("kind"), QJsonValue("failed"));
    EXPECT_EQ(notRunning->value("error"), QJsonValue("docs is not running"));

    client.send(request(R"({"v":1,"command":"stop","names":["web"]})"));
    const std::optional<QJsonObject> stopped = client.next(20000);
    ASSERT_TRUE(stopped);
    EXPECT_EQ(stopped->value("ok"), QJsonValue(true));
    EXPECT_EQ(model->runtimeFor(web)->status(), ProjectStatus::stopped());
}

// `start --env` chooses the environment as the Settings tab does, refuses a name the
// configuration lacks without changing anything, and `--env ''` goes back to the top level.
TEST_F(ControlSocketTest, StartWithAnEnvironmentChoosesItRunsItAndReportsIt)
{
    const QString api = wranglerProject(QStringLiteral("api"));
    sites.write(QStringLiteral("api/wrangler.toml"), "name = \"api\"\n[env.staging]\n");
    useNodePath(wranglerBin("echo \"Ready on http://localhost:$port\"\nexec sleep 60\n"));
    const auto model = serverModel();
    model->refreshInfo(api);
    WAIT_UNTIL(model->infoFor(api) != nullptr, 10000);
    serve(*model);
    Client client(socketPath);
    ASSERT_TRUE(client.connected());

    client.send(request(R"({"v":1,"command":"start","names":["api"],"environment":"prod"})"));
    const std::optional<QJsonObject> refused = client.next();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->value("kind"), QJsonValue("usage"));
    EXPECT_EQ(refused->value("error"), QJsonValue("api declares no environment \"prod\"; it has:"));
    EXPECT_EQ(refused->value("candidates"), QJsonArray{"staging"});
    EXPECT_EQ(model->findProject(api)->environment, std::nullopt);
    EXPECT_EQ(kind(model->runtimeFor(api)), ProjectStatus::Kind::stopped);

    client.send(request(R"({"v":1,"command":"start","names":["api"],"environment":"staging"})"));
    const std::optional<QJsonObject> started = client.next(20000);
    ASSERT_TRUE(started);
    EXPECT_EQ(started->value("ok"), QJsonValue(true))
        << started->value("error").toString().toStdString();
    EXPECT_EQ(model->findProject(api)->environment, QStringLiteral("staging"));
    const QStringList log = logTexts(model->runtimeFor(api));
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const QString& line) {
        return line.startsWith(QStringLiteral("npx wrangler dev --env staging --port "));
    })) << log.join(u'\n').toStdString();

    client.send(request(R"({"v":1,"command":"status"})"));
    const std::optional<QJsonObject> status = client.next();
    ASSERT_TRUE(status);
    const QJsonObject entry = status->value("projects").toArray().at(0).toObject();
    EXPECT_EQ(entry.value("environment"), QJsonValue("staging"));
    EXPECT_EQ(entry.value("workerName"), QJsonValue("api-staging"));

    client.send(request(R"({"v":1,"command":"restart","names":["api"],"environment":""})"));
    const std::optional<QJsonObject> restarted = client.next(20000);
    ASSERT_TRUE(restarted);
    EXPECT_EQ(restarted->value("ok"), QJsonValue(true));
    EXPECT_EQ(model->findProject(api)->environment, std::nullopt);
    client.send(request(R"({"v":1,"command":"status"})"));
    const std::optional<QJsonObject> topLevel = client.next();
    ASSERT_TRUE(topLevel);
    EXPECT_FALSE(topLevel->value("projects").toArray().at(0).toObject().contains("environment"));

    client.send(request(R"({"v":1,"command":"stop","names":["api"]})"));
    ASSERT_TRUE(client.next(20000));
}
