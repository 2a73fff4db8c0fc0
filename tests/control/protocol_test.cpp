#include "control/control_protocol.h"
#include "control/project_lookup.h"

#include <gtest/gtest.h>

namespace {

QString refusal(QByteArrayView line)
{
    const auto decoded = decodeRequest(line);
    const auto* error = std::get_if<RequestError>(&decoded);
    return error ? error->message : QStringLiteral("(accepted)");
}

LookupFailure failureOf(const std::variant<QString, LookupFailure>& found)
{
    const auto* failure = std::get_if<LookupFailure>(&found);
    return failure ? *failure : LookupFailure{QStringLiteral("(found)"), {}};
}

} // namespace

TEST(ControlProtocol, RequestsSurviveEncodingAndStrayInputIsRefusedWithAReason)
{
    ControlRequest logs;
    logs.command = ControlCommand::logs;
    logs.names = {QStringLiteral("api")};
    logs.workingFolder = QStringLiteral("/home/me/src");
    logs.lines = 5;
    logs.follow = true;
    ControlRequest stop;
    stop.command = ControlCommand::stop;
    stop.names = {QStringLiteral("a"), QStringLiteral("./b")};
    stop.wait = false;
    stop.confirmed = true;
    ControlRequest start;
    start.command = ControlCommand::start;
    start.names = {QStringLiteral("web")};
    start.withServices = true;
    ControlRequest startIn;
    startIn.command = ControlCommand::start;
    startIn.names = {QStringLiteral("api")};
    startIn.environment = QStringLiteral("staging");
    ControlRequest restartAtTopLevel;
    restartAtTopLevel.command = ControlCommand::restart;
    restartAtTopLevel.names = {QStringLiteral("api")};
    restartAtTopLevel.environment = QString(); // kept apart from "no choice"
    for (const ControlRequest& request :
         {logs, stop, start, startIn, restartAtTopLevel, ControlRequest{}}) {
        const QByteArray line = encodeRequest(request);
        ASSERT_TRUE(line.endsWith('\n'));
        EXPECT_EQ(line.count('\n'), 1);
        const auto decoded = decodeRequest(line.chopped(1));
        ASSERT_TRUE(std::holds_alternative<ControlRequest>(decoded)) << line.constData();
        EXPECT_EQ(std::get<ControlRequest>(decoded), request);
    }

    EXPECT_EQ(refusal("{\"v\":1,\"command\":\"status\""), "the request is not a JSON object");
    EXPECT_EQ(refusal("[1]"), "the request is not a JSON object");
    EXPECT_EQ(refusal(R"({"v":2,"command":"status"})"),
              "unsupported protocol version (this instance speaks version 1)");
    EXPECT_EQ(refusal(R"({"command":"status"})"),
              "unsupported protocol version (this instance speaks version 1)");
    EXPECT_EQ(refusal(R"({"v":1,"command":"rm"})"), "unknown command");
    EXPECT_EQ(refusal(R"({"v":1,"command":"status","colour":"red"})"), "unknown field \"colour\"");
    EXPECT_EQ(refusal(R"({"v":1,"command":"status","names":["a"]})"), "status takes no names");
    EXPECT_EQ(refusal(R"({"v":1,"command":"start"})"), "start needs a project name");
    EXPECT_EQ(refusal(R"({"v":1,"command":"logs","names":["a","b"]})"),
              "logs takes exactly one project name");
    EXPECT_EQ(refusal(R"({"v":1,"command":"start","names":[""]})"),
              "\"names\" must be an array of strings");
    EXPECT_EQ(refusal(R"({"v":1,"command":"logs","names":["a"],"lines":2.5})"),
              "\"lines\" must be a whole number from 0 to 100000");
    EXPECT_EQ(refusal(R"({"v":1,"command":"logs","names":["a"],"lines":-1})"),
              "\"lines\" must be a whole number from 0 to 100000");
    EXPECT_EQ(refusal(R"({"v":1,"command":"stop","names":["a"],"yes":"yes"})"),
              "\"yes\" must be true or false");
    EXPECT_EQ(refusal(R"({"v":1,"command":"start","names":["a"],"environment":1})"),
              "\"environment\" must be a string");
    EXPECT_EQ(refusal(R"({"v":1,"command":"stop","names":["a"],"environment":"staging"})"),
              "stop takes no environment");
    EXPECT_EQ(refusal(R"({"v":1,"command":"stop","names":["a"],"withServices":true})"),
              "only start takes \"withServices\"");
    EXPECT_EQ(refusal(QByteArray(ControlProtocol::maxLineBytes, ' ')),
              "the request is longer than 64 KiB");
}

TEST(ControlProtocol, NamesFindProjectsByDisplayNameWorkerNameOrPath)
{
    const QList<NamedProject> projects{
        {QStringLiteral("/w/one/api"), QStringLiteral("api  (w/one)"), QStringLiteral("api"),
         QStringLiteral("api")},
        {QStringLiteral("/w/two/api"), QStringLiteral("api  (w/two)"), QStringLiteral("api"),
         QStringLiteral("api")},
        {QStringLiteral("/w/site"), QStringLiteral("web"), QStringLiteral("site-worker"),
         QStringLiteral("site-worker")},
        // A display name that is another project's worker name wins over it.
        {QStringLiteral("/w/docs"), QStringLiteral("site-worker"), QStringLiteral("docs"),
         QStringLiteral("docs")},
        // With an environment chosen the Worker runs under a longer name; both find it.
        {QStringLiteral("/w/shop"), QStringLiteral("shop"), QStringLiteral("cart"),
         QStringLiteral("cart-staging")},
    };
    const auto path = [&](const QString& name, const QString& folder = QStringLiteral("/w")) {
        const auto found = lookUpProject(name, folder, projects);
        return std::holds_alternative<QString>(found) ? std::get<QString>(found) : QString();
    };
    EXPECT_EQ(path(QStringLiteral("web")), "/w/site");
    EXPECT_EQ(path(QStringLiteral("api  (w/two)")), "/w/two/api");
    EXPECT_EQ(path(QStringLiteral("site-worker")), "/w/docs");
    EXPECT_EQ(path(QStringLiteral("docs")), "/w/docs");
    EXPECT_EQ(path(QStringLiteral("cart")), "/w/shop");
    EXPECT_EQ(path(QStringLiteral("cart-staging")), "/w/shop");
    // Paths are standardized against the client's folder; a bare folder name is the last resort.
    EXPECT_EQ(path(QStringLiteral("../one/./api/"), QStringLiteral("/w/two")), "/w/one/api");
    EXPECT_EQ(path(QStringLiteral("/w//site")), "/w/site");
    EXPECT_EQ(path(QStringLiteral("site")), "/w/site");
    EXPECT_EQ(path(QStringLiteral("api"), QStringLiteral("/w/one")), QString())
        << "a worker name shared by two projects is ambiguous even inside one of them";

    const LookupFailure ambiguous = failureOf(lookUpProject(QStringLiteral("api"), {}, projects));
    EXPECT_EQ(ambiguous.message, "\"api\" names 2 projects; use a path or a display name");
    EXPECT_EQ(ambiguous.candidates,
              (QStringList{"api  (w/one)  /w/one/api", "api  (w/two)  /w/two/api"}));
    EXPECT_EQ(
        failureOf(lookUpProject(QStringLiteral("Web"), QStringLiteral("/w"), projects)).message,
        "No project named \"Web\"");
    EXPECT_EQ(failureOf(lookUpProject(QStringLiteral("./nothing"), QStringLiteral("/w"), projects))
                  .message,
              "No project at /w/nothing");
}
