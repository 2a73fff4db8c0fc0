#pragma once

#include "control/control_protocol.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <optional>
#include <variant>

// The tools `tallowmere mcp` offers an agent, each one request to the running instance: their
// definitions for tools/list, the control request a call stands for, and the tool result made
// from the instance's answer.
namespace McpTools {

// Every tool's definition (name, title, description, inputSchema, annotations), in a fixed
// order.
QJsonArray definitions();
bool exists(const QString& tool);

// A call whose arguments cannot be carried out as given: a tool result with isError.
struct ArgumentError
{
    QString message;
};

// The request a call of the (existing) `tool` stands for; `workingFolder` is where relative
// project paths are taken from.
std::variant<ControlRequest, ArgumentError>
requestFor(const QString& tool, const QJsonObject& arguments, const QString& workingFolder);

// A tool result: the text for the model, the same data as structured content when there is
// any, and whether it reports a failure.
struct Result
{
    QString text;
    std::optional<QJsonObject> structured;
    bool isError = false;
};

Result errorResult(const QString& message);
// The result of `tool` from the instance's final answer to its request.
Result resultFor(const QString& tool, const ControlRequest& request, const QJsonObject& answer);
// The result as MCP's CallToolResult, structured content included only when `structured`.
QJsonObject encode(const Result& result, bool structured);

} // namespace McpTools
