#include "control/mcp_session.h"

#include "control/mcp_tools.h"

#include <QJsonArray>

using namespace Mcp;

namespace {

const QString versionKey = QStringLiteral("io.modelcontextprotocol/protocolVersion");
const QString capabilitiesKey = QStringLiteral("io.modelcontextprotocol/clientCapabilities");
const QString serverInfoKey = QStringLiteral("io.modelcontextprotocol/serverInfo");

// The tool list changes only with the executable: clients may keep it for an hour.
constexpr int toolListTtlMs = 60 * 60 * 1000;

QJsonArray allVersions()
{
    QJsonArray versions;
    for (const QString& version : McpSession::modernVersions())
        versions.append(version);
    for (auto it = McpSession::legacyVersions().crbegin();
         it != McpSession::legacyVersions().crend(); ++it)
        versions.append(*it);
    return versions;
}

QJsonObject toolsCapability()
{
    return {{QStringLiteral("tools"), QJsonObject{{QStringLiteral("listChanged"), false}}}};
}

} // namespace

const QStringList& McpSession::legacyVersions()
{
    static const QStringList versions{QStringLiteral("2025-03-26"), QStringLiteral("2025-06-18"),
                                      QStringLiteral("2025-11-25")};
    return versions;
}

const QStringList& McpSession::modernVersions()
{
    static const QStringList versions{QStringLiteral("2026-07-28")};
    return versions;
}

McpSession::McpSession(Relay relay, QString serverVersion, QString workingFolder)
    : relay_(std::move(relay)), serverVersion_(std::move(serverVersion)),
      workingFolder_(std::move(workingFolder))
{}

QByteArray McpSession::oversizeLine()
{
    return errorLine(QJsonValue::Null, invalidRequest,
                     QStringLiteral("Invalid request: the message is longer than %1 MiB")
                         .arg(maxMessageBytes / (qsizetype(1024) * 1024)));
}

QByteArray McpSession::handleLine(QByteArrayView line)
{
    const Message message = decodeMessage(line);
    if (const auto* fault = std::get_if<Fault>(&message))
        return errorLine(fault->id, fault->code, fault->message);
    if (const auto* request = std::get_if<Request>(&message))
        return handle(*request);
    return {};
}

QByteArray McpSession::handle(const Request& request)
{
    const QJsonValue meta = request.params.value(QStringLiteral("_meta"));
    if (meta.toObject().contains(versionKey)) {
        if (request.isNotification())
            return {};
        return handleModern(request, meta.toObject());
    }
    // Notifications (initialized, cancelled, ...) need nothing: every call here is answered
    // before the next line is read.
    if (request.isNotification())
        return {};
    const QString& method = request.method;
    if (method == u"initialize")
        return initialize(request);
    if (method == u"ping")
        return resultLine(request.id, {});
    if (method == u"tools/list")
        return resultLine(request.id, {{QStringLiteral("tools"), McpTools::definitions()}});
    if (method == u"tools/call") {
        QByteArray fault;
        const bool structured = !legacyVersion_ || *legacyVersion_ >= QStringLiteral("2025-06-18");
        const QJsonObject result = callTool(request.params, structured, &fault, request.id);
        return fault.isEmpty() ? resultLine(request.id, result) : fault;
    }
    if (method == u"server/discover")
        return errorLine(request.id, invalidParams,
                         QStringLiteral("Invalid params: server/discover needs \"_meta\" with "
                                        "%1 and %2")
                             .arg(versionKey, capabilitiesKey));
    return errorLine(request.id, methodNotFound, QStringLiteral("Method not found: ") + method);
}

QByteArray McpSession::handleModern(const Request& request, const QJsonObject& meta)
{
    const QJsonValue requested = meta.value(versionKey);
    if (!requested.isString() || !modernVersions().contains(requested.toString()))
        return errorLine(request.id, unsupportedProtocolVersion,
                         QStringLiteral("Unsupported protocol version"),
                         QJsonObject{{QStringLiteral("supported"), allVersions()},
                                     {QStringLiteral("requested"), requested}});
    if (!meta.value(capabilitiesKey).isObject())
        return errorLine(request.id, invalidParams,
                         QStringLiteral("Invalid params: \"_meta\" needs %1").arg(capabilitiesKey));

    QJsonObject result;
    const QString& method = request.method;
    if (method == u"server/discover") {
        result = {{QStringLiteral("supportedVersions"), allVersions()},
                  {QStringLiteral("capabilities"), toolsCapability()},
                  {QStringLiteral("instructions"), instructions()},
                  {QStringLiteral("ttlMs"), toolListTtlMs},
                  {QStringLiteral("cacheScope"), QStringLiteral("public")}};
    } else if (method == u"tools/list") {
        result = {{QStringLiteral("tools"), McpTools::definitions()},
                  {QStringLiteral("ttlMs"), toolListTtlMs},
                  {QStringLiteral("cacheScope"), QStringLiteral("public")}};
    } else if (method == u"tools/call") {
        QByteArray fault;
        result = callTool(request.params, true, &fault, request.id);
        if (!fault.isEmpty())
            return fault;
    } else {
        return errorLine(request.id, methodNotFound, QStringLiteral("Method not found: ") + method);
    }
    result.insert(QStringLiteral("resultType"), QStringLiteral("complete"));
    result.insert(QStringLiteral("_meta"), QJsonObject{{serverInfoKey, serverInfo()}});
    return resultLine(request.id, result);
}

QByteArray McpSession::initialize(const Request& request)
{
    const QJsonValue requested = request.params.value(QStringLiteral("protocolVersion"));
    if (!requested.isString())
        return errorLine(request.id, invalidParams,
                         QStringLiteral("Invalid params: initialize needs \"protocolVersion\""));
    // A version this server speaks is echoed; otherwise it offers its latest of the handshake
    // generation, and the client decides.
    legacyVersion_ = legacyVersions().contains(requested.toString()) ? requested.toString()
                                                                     : legacyVersions().last();
    return resultLine(request.id, {{QStringLiteral("protocolVersion"), *legacyVersion_},
                                   {QStringLiteral("capabilities"), toolsCapability()},
                                   {QStringLiteral("serverInfo"), serverInfo()},
                                   {QStringLiteral("instructions"), instructions()}});
}

QJsonObject McpSession::callTool(const QJsonObject& params, bool structured, QByteArray* fault,
                                 const QJsonValue& id)
{
    const QJsonValue name = params.value(QStringLiteral("name"));
    const QJsonValue arguments = params.value(QStringLiteral("arguments"));
    if (!name.isString()) {
        *fault = errorLine(id, invalidParams,
                           QStringLiteral("Invalid params: tools/call needs the tool's \"name\""));
        return {};
    }
    if (!McpTools::exists(name.toString())) {
        *fault = errorLine(id, invalidParams, QStringLiteral("Unknown tool: ") + name.toString());
        return {};
    }
    if (!arguments.isUndefined() && !arguments.isNull() && !arguments.isObject()) {
        *fault = errorLine(id, invalidParams,
                           QStringLiteral("Invalid params: \"arguments\" must be an object"));
        return {};
    }
    const QString tool = name.toString();
    const auto request = McpTools::requestFor(tool, arguments.toObject(), workingFolder_);
    if (const auto* error = std::get_if<McpTools::ArgumentError>(&request))
        return McpTools::encode(McpTools::errorResult(error->message), structured);
    const ControlRequest& control = std::get<ControlRequest>(request);
    if (encodeRequest(control).size() > ControlProtocol::maxLineBytes)
        return McpTools::encode(
            McpTools::errorResult(
                QStringLiteral("The request is larger than the %1 KiB the running instance "
                               "accepts; use a shorter name, filter or path.")
                    .arg(ControlProtocol::maxLineBytes / 1024)),
            structured);
    const RelayOutcome outcome = relay_(control);
    if (!outcome.answer)
        return McpTools::encode(McpTools::errorResult(outcome.failure), structured);
    return McpTools::encode(McpTools::resultFor(tool, control, *outcome.answer), structured);
}

QJsonObject McpSession::serverInfo() const
{
    return {{QStringLiteral("name"), QStringLiteral("tallowmere")},
            {QStringLiteral("title"), QStringLiteral("Tallowmere")},
            {QStringLiteral("version"), serverVersion_}};
}

QString McpSession::instructions() const
{
    return QStringLiteral(
        "Tallowmere runs the local dev servers of Cloudflare Workers projects on this machine. "
        "Use list_projects to see them, start_project and restart_project to run one (the "
        "result has its local address), read_logs to see its output and errors (pass the "
        "lastId back as since to read only new lines), project_details for its configuration "
        "and bindings, and stop_project when done. The Tallowmere application must be running.");
}
