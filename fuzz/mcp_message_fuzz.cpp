// Feeds arbitrary bytes to `tallowmere mcp` as one input line: the JSON-RPC decoder, the
// session's dispatch of both protocol generations and the tools' argument checks, with a relay
// that answers every request as an instance might. Whatever comes in, the answer is nothing
// (a notification) or exactly one JSON-RPC line with a result or an error.
#include "control/mcp_session.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

McpSession::RelayOutcome relay(const ControlRequest& request)
{
    check(encodeRequest(request).size() <= ControlProtocol::maxLineBytes);
    switch (request.command) {
    case ControlCommand::status: return {QJsonObject{{"ok", true}, {"projects", QJsonArray{}}}, {}};
    case ControlCommand::lines:
        return {QJsonObject{{"ok", true}, {"lines", QJsonArray{}}, {"more", false}}, {}};
    case ControlCommand::details: return {std::nullopt, QStringLiteral("no instance")};
    default:
        return {QJsonObject{{"ok", false}, {"kind", "usage"}, {"error", "No project named x"}}, {}};
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static McpSession session(relay, QStringLiteral("0.0.0"), QStringLiteral("/tmp"));
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArray answer = session.handleLine(input);
    if (answer.isEmpty())
        return 0;
    check(answer.endsWith('\n') && answer.count('\n') == 1);
    const QJsonObject message = QJsonDocument::fromJson(answer).object();
    check(message.value(QStringLiteral("jsonrpc")) == QJsonValue(QStringLiteral("2.0")));
    check(message.contains(QStringLiteral("id")));
    check(message.contains(QStringLiteral("result")) != message.contains(QStringLiteral("error")));
    return 0;
}
