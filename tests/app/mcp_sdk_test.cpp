#include "app/instance_fixture.h"
#include "support/npm_install.h"

#include <QStandardPaths>

// `tallowmere mcp` driven by a client nobody here wrote: the official MCP TypeScript SDK, run
// with the machine's Node.js and installed from the npm registry into the test cache.

namespace {

constexpr char sdkVersion[] = "1.32.2";

} // namespace

using McpSdkTest = InstanceFixture;

TEST_F(McpSdkTest, TheOfficialClientListsStartsReadsAndStops)
{
    if (QStandardPaths::findExecutable(QStringLiteral("node")).isEmpty())
        GTEST_SKIP() << "Node.js is not installed";
    const NpmInstall::Result sdk = NpmInstall::ensureInstalled(
        QStringLiteral("@modelcontextprotocol/sdk"), QLatin1String(sdkVersion),
        QStringLiteral("mcp-sdk-") + QLatin1String(sdkVersion));
    if (!sdk.ok())
        GTEST_SKIP() << "no MCP SDK " << sdkVersion << ": " << sdk.failure.toStdString();

    // Node resolves packages from the script's folder: put the script beside the SDK.
    TempFolder client;
    ASSERT_TRUE(QFile::link(sdk.nodeModules(), client.filePath(QStringLiteral("node_modules"))));
    const QString script = client.filePath(QStringLiteral("client.mjs"));
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(TALLOWMERE_SOURCE_DIR "/tests/app/mcp_sdk_client.mjs"), script));

    addProject(QStringLiteral("web"), QStringLiteral("web"), readyServer(18861, 3));
    startInstance();
    QProcess node;
    node.setProcessEnvironment(environment());
    node.setWorkingDirectory(sites.path());
    node.start(QStringLiteral("node"),
               {script, QStringLiteral(TALLOWMERE_EXECUTABLE), QStringLiteral("web")});
    ASSERT_TRUE(node.waitForFinished(120000)) << "the client did not finish";
    const QByteArray errors = node.readAllStandardError();
    const QJsonObject seen = QJsonDocument::fromJson(node.readAllStandardOutput()).object();
    ASSERT_EQ(node.exitCode(), 0) << errors.constData() << QJsonDocument(seen).toJson().constData();

    EXPECT_EQ(seen.value("server").toObject().value("name"), QJsonValue("tallowmere"));
    EXPECT_EQ(seen.value("tools").toArray(),
              QJsonArray({"list_projects", "start_project", "stop_project", "restart_project",
                          "read_logs", "project_details"}));
    EXPECT_EQ(seen.value("started").toObject().value("project").toObject().value("address"),
              QJsonValue("http://localhost:18861"));
    EXPECT_TRUE(seen.value("log").toArray().contains(QJsonValue("line 3")));
    EXPECT_TRUE(
        seen.value("log").toArray().contains(QJsonValue("Ready on http://localhost:18861")));
    EXPECT_EQ(seen.value("unknown").toObject().value("isError"), QJsonValue(true));
    EXPECT_EQ(seen.value("unknown").toObject().value("text"),
              QJsonValue("No project named \"no-such-project\""));
    EXPECT_EQ(seen.value("stopped").toObject().value("message"), QJsonValue("web is stopped"));
}
