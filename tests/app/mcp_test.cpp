#include "app/instance_fixture.h"
#include "app/mcp_client.h"
#include "support/wait_until.h"

#include <QJsonArray>

// `tallowmere mcp` over pipes, as a coding agent runs it: both generations of the protocol,
// its faults, and every tool against a real instance with shell scripts as dev servers.

namespace {

const QString modernVersion = QStringLiteral("2026-07-28");

QJsonObject modernMeta(const QString& version = modernVersion)
{
    return {{QStringLiteral("io.modelcontextprotocol/protocolVersion"), version},
            {QStringLiteral("io.modelcontextprotocol/clientCapabilities"), QJsonObject{}}};
}

QStringList toolNames(const QJsonObject& listResult)
{
    QStringList names;
    for (const QJsonValue tool : listResult.value(QStringLiteral("tools")).toArray())
        names.append(tool.toObject().value(QStringLiteral("name")).toString());
    return names;
}

QStringList lineTexts(const QJsonObject& logResult)
{
    QStringList texts;
    for (const QJsonValue line :
         logResult.value(QStringLiteral("structuredContent")).toObject().value("lines").toArray())
        texts.append(line.toObject().value(QStringLiteral("text")).toString());
    return texts;
}

const QStringList allTools{QStringLiteral("list_projects"), QStringLiteral("start_project"),
                           QStringLiteral("stop_project"),  QStringLiteral("restart_project"),
                           QStringLiteral("read_logs"),     QStringLiteral("project_details")};

} // namespace

class McpTest : public InstanceFixture
{
protected:
    std::unique_ptr<McpPipe> open()
    {
        return std::make_unique<McpPipe>(QStringLiteral(TALLOWMERE_EXECUTABLE), environment(),
                                         sites.path());
    }

    // A legacy session, initialized.
    std::unique_ptr<McpPipe> initialized()
    {
        auto mcp = open();
        const QJsonObject answer = mcp->call(
            QStringLiteral("initialize"),
            {{QStringLiteral("protocolVersion"), QStringLiteral("2025-11-25")},
             {QStringLiteral("capabilities"), QJsonObject{}},
             {QStringLiteral("clientInfo"), QJsonObject{{"name", "test"}, {"version", "1"}}}},
            1);
        EXPECT_TRUE(answer.contains(QStringLiteral("result"))) << mcp->raw.constData();
        mcp->sendLine(R"({"jsonrpc":"2.0","method":"notifications/initialized"})");
        return mcp;
    }
};

TEST_F(McpTest, BothGenerationsAreServedAndFaultsAreJsonRpcErrors)
{
    auto mcp = open();
    // Legacy: a version this server speaks is echoed, another gets its latest.
    QJsonObject answer =
        mcp->call(QStringLiteral("initialize"),
                  {{QStringLiteral("protocolVersion"), QStringLiteral("2025-03-26")},
                   {QStringLiteral("capabilities"), QJsonObject{}},
                   {QStringLiteral("clientInfo"), QJsonObject{{"name", "test"}, {"version", "1"}}}},
                  1);
    QJsonObject result = answer.value(QStringLiteral("result")).toObject();
    EXPECT_EQ(result.value("protocolVersion"), QJsonValue("2025-03-26"));
    EXPECT_TRUE(result.value("capabilities").toObject().contains("tools"));
    EXPECT_EQ(result.value("serverInfo").toObject().value("name"), QJsonValue("tallowmere"));
    mcp->sendLine(R"({"jsonrpc":"2.0","method":"notifications/initialized"})");
    EXPECT_EQ(mcp->call(QStringLiteral("ping"), {}, 2).value("result"), QJsonValue(QJsonObject{}));
    answer = mcp->call(QStringLiteral("tools/list"), {}, 3);
    result = answer.value(QStringLiteral("result")).toObject();
    EXPECT_EQ(toolNames(result), allTools);
    for (const QJsonValue tool : result.value(QStringLiteral("tools")).toArray()) {
        const QJsonObject schema = tool.toObject().value("inputSchema").toObject();
        EXPECT_EQ(schema.value("type"), QJsonValue("object"));
        EXPECT_FALSE(tool.toObject().value("description").toString().isEmpty());
    }
    EXPECT_FALSE(result.contains("resultType")) << "a legacy result carries no modern fields";
    // 2025-03-26 has no structured content.
    EXPECT_FALSE(mcp->tool(QStringLiteral("list_projects")).contains("structuredContent"));
    answer = mcp->call(QStringLiteral("initialize"),
                       {{QStringLiteral("protocolVersion"), QStringLiteral("2024-01-01")}}, 4);
    EXPECT_EQ(answer.value("result").toObject().value("protocolVersion"), QJsonValue("2025-11-25"));

    // Modern: server/discover and per-request _meta, in the same process.
    answer = mcp->call(QStringLiteral("server/discover"), {{"_meta", modernMeta()}}, 5);
    result = answer.value(QStringLiteral("result")).toObject();
    EXPECT_EQ(result.value("resultType"), QJsonValue("complete"));
    EXPECT_TRUE(result.value("supportedVersions").toArray().contains(modernVersion));
    EXPECT_TRUE(result.value("supportedVersions").toArray().contains(QJsonValue("2025-11-25")));
    EXPECT_TRUE(result.value("capabilities").toObject().contains("tools"));
    EXPECT_TRUE(result.value("ttlMs").isDouble() && result.value("cacheScope").isString());
    EXPECT_EQ(result.value("_meta")
                  .toObject()
                  .value("io.modelcontextprotocol/serverInfo")
                  .toObject()
                  .value("name"),
              QJsonValue("tallowmere"));
    answer = mcp->call(QStringLiteral("tools/list"), {{"_meta", modernMeta()}}, 6);
    result = answer.value(QStringLiteral("result")).toObject();
    EXPECT_EQ(toolNames(result), allTools);
    EXPECT_TRUE(result.value("ttlMs").isDouble() && result.value("cacheScope").isString());
    answer = mcp->call(QStringLiteral("server/discover"), {{"_meta", modernMeta("1900-01-01")}}, 7);
    EXPECT_EQ(answer.value("error").toObject().value("code"), QJsonValue(-32022));
    EXPECT_EQ(answer.value("error").toObject().value("data").toObject().value("requested"),
              QJsonValue("1900-01-01"));
    QJsonObject noCapabilities = modernMeta();
    noCapabilities.remove("io.modelcontextprotocol/clientCapabilities");
    answer = mcp->call(QStringLiteral("tools/list"), {{"_meta", noCapabilities}}, 8);
    EXPECT_EQ(answer.value("error").toObject().value("code"), QJsonValue(-32602));
    answer = mcp->call(QStringLiteral("ping"), {{"_meta", modernMeta()}}, 9);
    EXPECT_EQ(answer.value("error").toObject().value("code"), QJsonValue(-32601))
        << "ping is gone from the modern revision";

    // Faults.
    EXPECT_EQ(
        mcp->call(QStringLiteral("resources/list"), {}, 10).value("error").toObject().value("code"),
        QJsonValue(-32601));
    QJsonObject fault = mcp->tool(QStringLiteral("delete_everything"));
    EXPECT_EQ(fault.value("code"), QJsonValue(-32602));
    EXPECT_TRUE(fault.value("message").toString().contains("delete_everything"));
    mcp->sendLine(R"({"jsonrpc":"2.0","id":11,"method":"tools/call","params":{"name":)");
    answer = mcp->receive();
    EXPECT_EQ(answer.value("error").toObject().value("code"), QJsonValue(-32700));
    EXPECT_EQ(answer.value("id"), QJsonValue(QJsonValue::Null));
    mcp->sendLine(R"({"jsonrpc":"2.0","id":12,"method":"tools/call","params":[1]})");
    EXPECT_EQ(mcp->receive().value("error").toObject().value("code"), QJsonValue(-32602));
    mcp->sendLine(R"({"jsonrpc":"1.0","id":13,"method":"ping"})");
    answer = mcp->receive();
    EXPECT_EQ(answer.value("error").toObject().value("code"), QJsonValue(-32600));
    EXPECT_EQ(answer.value("id"), QJsonValue(13));
    // A message beyond the line limit is refused and skipped; the next one is served.
    mcp->sendLine("{\"jsonrpc\":\"2.0\",\"id\":14,\"method\":\"ping\",\"params\":{\"pad\":\"" +
                  QByteArray(qsizetype(5) * 1024 * 1024, 'x') + "\"}}");
    answer = mcp->receive();
    EXPECT_EQ(answer.value("error").toObject().value("code"), QJsonValue(-32600));
    EXPECT_TRUE(answer.value("error").toObject().value("message").toString().contains("MiB"));
    EXPECT_EQ(mcp->call(QStringLiteral("ping"), {}, 15).value("result"), QJsonValue(QJsonObject{}));

    // No instance runs: an error result that says how to start one, at once.
    result = mcp->tool(QStringLiteral("list_projects"));
    EXPECT_EQ(result.value("isError"), QJsonValue(true));
    EXPECT_TRUE(resultText(result).contains(QStringLiteral("run `tallowmere`")))
        << resultText(result).toStdString();

    // End of input ends the server, and nothing but protocol messages reached its output.
    mcp->process().closeWriteChannel();
    ASSERT_TRUE(mcp->process().waitForFinished(10000)) << "still running after end of input";
    EXPECT_EQ(mcp->process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(mcp->process().exitCode(), 0);
    EXPECT_TRUE(mcp->process().readAllStandardOutput().isEmpty());
}

TEST_F(McpTest, EveryToolDrivesTheRunningInstance)
{
    const QString web = addProject(QStringLiteral("web"), QStringLiteral("web"),
                                   "echo 'building'\n"
                                   // The two streams are read apart: a pause keeps their order.
                                   "sleep 0.2\n"
                                   "echo '✘ [ERROR] Could not resolve \"missing\"' >&2\n"
                                   "echo '    at handler (src/index.ts:3:9)' >&2\n"
                                   "echo '▲ [WARNING] the compatibility date is old' >&2\n"
                                   "sleep 0.2\n"
                                   "echo 'Ready on http://localhost:18851'\n"
                                   "exec sleep 120\n");
    addProject(QStringLiteral("one/api"), QStringLiteral("api"), readyServer(18852));
    addProject(QStringLiteral("two/api"), QStringLiteral("api"), readyServer(18853));
    startInstance();
    auto mcp = initialized();

    QJsonObject result = mcp->tool(QStringLiteral("list_projects"));
    EXPECT_EQ(result.value("isError"), QJsonValue(false));
    QJsonArray projects = result.value("structuredContent").toObject().value("projects").toArray();
    ASSERT_EQ(projects.size(), 3) << resultText(result).toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(resultText(result).toUtf8()).object(),
              result.value("structuredContent").toObject())
        << "the text carries the same data";

    result = mcp->tool(QStringLiteral("start_project"), {{"name", "api"}});
    EXPECT_EQ(result.value("isError"), QJsonValue(true));
    EXPECT_TRUE(resultText(result).contains(QStringLiteral("\"api\" names 2 projects")));
    EXPECT_TRUE(resultText(result).contains(sites.filePath(QStringLiteral("one/api"))));
    result = mcp->tool(QStringLiteral("project_details"), {{"name", "nowhere"}});
    EXPECT_EQ(result.value("isError"), QJsonValue(true));
    EXPECT_EQ(resultText(result), QStringLiteral("No project named \"nowhere\""));
    result = mcp->tool(QStringLiteral("read_logs"), {{"name", "web"}, {"lines", 5000}});
    EXPECT_EQ(result.value("isError"), QJsonValue(true));
    EXPECT_TRUE(resultText(result).contains("from 1 to 2000")) << resultText(result).toStdString();
    result = mcp->tool(QStringLiteral("stop_project"), {{"name", "web"}, {"force", true}});
    EXPECT_EQ(result.value("isError"), QJsonValue(true));
    EXPECT_TRUE(resultText(result).contains("\"force\""));
    // Larger than the control socket takes: said so, and nothing is sent.
    result = mcp->tool(QStringLiteral("start_project"), {{"name", QString(70000, u'w')}});
    EXPECT_EQ(result.value("isError"), QJsonValue(true));
    EXPECT_TRUE(resultText(result).contains("64 KiB")) << resultText(result).toStdString();

    result = mcp->tool(QStringLiteral("start_project"), {{"name", "web"}}, 60000);
    ASSERT_EQ(result.value("isError"), QJsonValue(false)) << resultText(result).toStdString();
    QJsonObject content = result.value("structuredContent").toObject();
    EXPECT_EQ(content.value("message"), QJsonValue("web is running at http://localhost:18851"));
    EXPECT_EQ(content.value("project").toObject().value("address"),
              QJsonValue("http://localhost:18851"));
    projects = mcp->tool(QStringLiteral("list_projects"))
                   .value("structuredContent")
                   .toObject()
                   .value("projects")
                   .toArray();
    EXPECT_EQ(projects.at(0).toObject().value("status"), QJsonValue("running"));
    EXPECT_EQ(projects.at(0).toObject().value("external"), QJsonValue(false));

    // The folder relative to where the agent runs names the project too.
    result = mcp->tool(QStringLiteral("project_details"), {{"name", "./web"}});
    content = result.value("structuredContent").toObject();
    EXPECT_EQ(content.value("path"), QJsonValue(web));
    EXPECT_EQ(content.value("configFile"), QJsonValue("wrangler.toml"));
    EXPECT_EQ(content.value("runMode"), QJsonValue("custom"));
    EXPECT_TRUE(content.value("command").toString().endsWith("server.sh"))
        << resultText(result).toStdString();
    EXPECT_EQ(content.value("status"), QJsonValue("running"));

    WAIT_UNTIL(lineTexts(mcp->tool(QStringLiteral("read_logs"), {{"name", "web"}}))
                   .contains(QStringLiteral("Ready on http://localhost:18851")),
               10000);
    result = mcp->tool(QStringLiteral("read_logs"), {{"name", "web"}, {"lines", 2}});
    content = result.value("structuredContent").toObject();
    EXPECT_EQ(lineTexts(result),
              QStringList({QStringLiteral("▲ [WARNING] the compatibility date is old"),
                           QStringLiteral("Ready on http://localhost:18851")}));
    const QJsonArray lastTwo = content.value("lines").toArray();
    EXPECT_EQ(content.value("lastId"), lastTwo.at(1).toObject().value("id"));
    EXPECT_EQ(lastTwo.at(0).toObject().value("id").toInt() + 1,
              lastTwo.at(1).toObject().value("id").toInt());
    result = mcp->tool(QStringLiteral("read_logs"), {{"name", "web"}, {"errors_only", true}});
    EXPECT_EQ(lineTexts(result),
              QStringList({QStringLiteral("✘ [ERROR] Could not resolve \"missing\""),
                           QStringLiteral("    at handler (src/index.ts:3:9)"),
                           QStringLiteral("▲ [WARNING] the compatibility date is old")}))
        << "a problem keeps its stack, as in the Logs view";
    EXPECT_EQ(result.value("structuredContent")
                  .toObject()
                  .value("lines")
                  .toArray()
                  .at(0)
                  .toObject()
                  .value("stderr"),
              QJsonValue(true));
    EXPECT_EQ(
        lineTexts(mcp->tool(QStringLiteral("read_logs"), {{"name", "web"}, {"filter", "BUILD"}})),
        QStringList{QStringLiteral("building")});

    // Polling: nothing new yet, then only the lines of the new run after a restart.
    const QJsonValue seen = content.value("lastId");
    result = mcp->tool(QStringLiteral("read_logs"), {{"name", "web"}, {"since", seen}});
    EXPECT_TRUE(lineTexts(result).isEmpty()) << resultText(result).toStdString();
    EXPECT_EQ(result.value("structuredContent").toObject().value("lastId"), seen);
    result = mcp->tool(QStringLiteral("restart_project"), {{"name", "web"}}, 60000);
    ASSERT_EQ(result.value("isError"), QJsonValue(false)) << resultText(result).toStdString();
    WAIT_UNTIL(lineTexts(mcp->tool(QStringLiteral("read_logs"), {{"name", "web"}, {"since", seen}}))
                   .contains(QStringLiteral("Ready on http://localhost:18851")),
               10000);
    result =
        mcp->tool(QStringLiteral("read_logs"), {{"name", "web"}, {"since", seen}, {"lines", 1}});
    content = result.value("structuredContent").toObject();
    EXPECT_EQ(content.value("lines").toArray().at(0).toObject().value("id").toInt(),
              seen.toInt() + 1);
    EXPECT_EQ(content.value("more"), QJsonValue(true));
    EXPECT_EQ(content.value("lastId").toInt(), seen.toInt() + 1);
    result = mcp->tool(QStringLiteral("read_logs"), {{"name", "web"}, {"since", 999999}});
    EXPECT_EQ(result.value("structuredContent").toObject().value("restarted"), QJsonValue(true))
        << "an id from before the application restarted reads the last lines";
    EXPECT_FALSE(lineTexts(result).isEmpty());

    result = mcp->tool(QStringLiteral("stop_project"), {{"name", "web"}}, 60000);
    ASSERT_EQ(result.value("isError"), QJsonValue(false)) << resultText(result).toStdString();
    EXPECT_EQ(result.value("structuredContent").toObject().value("message"),
              QJsonValue("web is stopped"));
}

TEST_F(McpTest, AServerStartedOutsideIsStoppedOnlyWhenConfirmed)
{
    QProcess* other = launch(QStringLiteral("sleep"), {QStringLiteral("120")});
    addProject(QStringLiteral("attached"), QStringLiteral("attached"),
               "echo 'already running at http://localhost:18791 (pid " +
                   QByteArray::number(other->processId()) + ")'\nexit 1\n");
    startInstance();
    auto mcp = initialized();
    QJsonObject result = mcp->tool(QStringLiteral("start_project"), {{"name", "attached"}}, 60000);
    ASSERT_EQ(result.value("isError"), QJsonValue(false)) << resultText(result).toStdString();
    // The start's own answer may come before the run is known to be someone else's.
    WAIT_UNTIL(mcp->tool(QStringLiteral("list_projects"), {}, 60000)
                   .value("structuredContent")
                   .toObject()
                   .value("projects")
                   .toArray()
                   .at(0)
                   .toObject()
                   .value("external")
                   .toBool(),
               15000);

    result = mcp->tool(QStringLiteral("stop_project"), {{"name", "attached"}});
    EXPECT_EQ(result.value("isError"), QJsonValue(true));
    EXPECT_TRUE(resultText(result).startsWith(QStringLiteral("Stop attached? This project wasn't "
                                                             "started by Tallowmere")))
        << resultText(result).toStdString();
    EXPECT_TRUE(resultText(result).contains(QStringLiteral("confirm: true")));
    EXPECT_FALSE(other->waitForFinished(300)) << "stopped without confirmation";

    result =
        mcp->tool(QStringLiteral("stop_project"), {{"name", "attached"}, {"confirm", true}}, 60000);
    EXPECT_EQ(result.value("isError"), QJsonValue(false)) << resultText(result).toStdString();
    EXPECT_TRUE(other->waitForFinished(5000));
}

TEST_F(McpTest, WithServicesIsPassedToTheInstancesStart)
{
    addProject(QStringLiteral("back"), QStringLiteral("back"), readyServer(18871));
    addProject(QStringLiteral("front"), QStringLiteral("front"), readyServer(18872));
    sites.write(QStringLiteral("front/wrangler.toml"),
                "name = \"front\"\n[[services]]\nbinding = \"API\"\nservice = \"back\"\n");
    startInstance();
    auto mcp = initialized();
    // The instance takes the request as `start --with-services`; the fake servers write no
    // dev-registry entry, so the start waits out the registration grace.
    const QJsonObject result = mcp->tool(QStringLiteral("start_project"),
                                         {{"name", "front"}, {"with_services", true}}, 120000);
    ASSERT_EQ(result.value("isError"), QJsonValue(false)) << resultText(result).toStdString();
    const QJsonObject content = result.value("structuredContent").toObject();
    EXPECT_EQ(content.value("project").toObject().value("address"),
              QJsonValue("http://localhost:18872"));

    // The top level of the configuration, as `start --env ''` chooses it.
    const QJsonObject topLevel =
        mcp->tool(QStringLiteral("start_project"), {{"name", "back"}, {"environment", ""}}, 120000);
    EXPECT_EQ(topLevel.value("isError"), QJsonValue(false)) << resultText(topLevel).toStdString();
    EXPECT_EQ(topLevel.value("structuredContent").toObject().value("message"),
              QJsonValue("back is running at http://localhost:18871"));
}
