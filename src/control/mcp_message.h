#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <variant>

// JSON-RPC 2.0 as the Model Context Protocol's stdio transport carries it: one compact message
// per line. Only what a server reads (requests and notifications) and writes (results and
// errors).
namespace Mcp {

// Longest input line taken; a longer one is answered with an error and skipped.
inline constexpr qsizetype maxMessageBytes = qsizetype(4) * 1024 * 1024;

enum ErrorCode {
    parseError = -32700,
    invalidRequest = -32600,
    methodNotFound = -32601,
    invalidParams = -32602,
    unsupportedProtocolVersion = -32022,
};

// A request (with an id) or a notification (without).
struct Request
{
    QJsonValue id; // a string or an integer; undefined for a notification
    QString method;
    QJsonObject params;

    bool isNotification() const { return id.isUndefined(); }
};

// A message that is answered with an error alone. `id` is null when it could not be read.
struct Fault
{
    QJsonValue id;
    int code;
    QString message;
};

// A message that needs no answer: a response to a request (this server sends none), or a
// faulty notification, which JSON-RPC never answers.
struct Ignored
{};

using Message = std::variant<Request, Fault, Ignored>;

Message decodeMessage(QByteArrayView line);

// The answer lines, line feed included.
QByteArray resultLine(const QJsonValue& id, const QJsonObject& result);
QByteArray errorLine(const QJsonValue& id, int code, const QString& message,
                     const QJsonValue& data = QJsonValue::Undefined);

} // namespace Mcp
