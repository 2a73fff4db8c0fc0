#include "control/mcp_message.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <cmath>

namespace Mcp {

namespace {

// JSON-RPC allows numbers with fractions as ids but discourages them; MCP asks for strings or
// integers, and an integer beyond 2^53 would not come back as the client sent it.
bool validID(const QJsonValue& id)
{
    if (id.isString())
        return true;
    if (!id.isDouble())
        return false;
    const double number = id.toDouble();
    return std::floor(number) == number && std::fabs(number) <= 9007199254740991.0;
}

QByteArray line(const QJsonObject& message)
{
    return QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace

Message decodeMessage(QByteArrayView text)
{
    QJsonParseError jsonError;
    const QJsonDocument document = QJsonDocument::fromJson(text.toByteArray(), &jsonError);
    if (jsonError.error != QJsonParseError::NoError)
        return Fault{QJsonValue::Null, parseError,
                     QStringLiteral("Parse error: ") + jsonError.errorString()};
    if (document.isArray())
        return Fault{QJsonValue::Null, invalidRequest,
                     QStringLiteral("Invalid request: batches are not supported")};
    if (!document.isObject())
        return Fault{QJsonValue::Null, invalidRequest,
                     QStringLiteral("Invalid request: not a JSON object")};
    const QJsonObject object = document.object();
    const QJsonValue id = object.value(QStringLiteral("id"));
    const bool hasID = object.contains(QStringLiteral("id"));
    if (hasID && !validID(id))
        return Fault{QJsonValue::Null, invalidRequest,
                     QStringLiteral("Invalid request: the id must be a string or an integer")};
    const QJsonValue answeredID = hasID ? id : QJsonValue(QJsonValue::Null);
    if (object.value(QStringLiteral("jsonrpc")) != QJsonValue(QStringLiteral("2.0")))
        return Fault{answeredID, invalidRequest,
                     QStringLiteral("Invalid request: \"jsonrpc\" must be \"2.0\"")};
    const QJsonValue method = object.value(QStringLiteral("method"));
    if (!object.contains(QStringLiteral("method"))) {
        if (hasID &&
            (object.contains(QStringLiteral("result")) || object.contains(QStringLiteral("error"))))
            return Ignored{};
        return Fault{answeredID, invalidRequest, QStringLiteral("Invalid request: no \"method\"")};
    }
    if (!method.isString() || method.toString().isEmpty()) {
        if (!hasID)
            return Ignored{};
        return Fault{answeredID, invalidRequest,
                     QStringLiteral("Invalid request: \"method\" must be a string")};
    }
    const QJsonValue params = object.value(QStringLiteral("params"));
    if (object.contains(QStringLiteral("params")) && !params.isObject()) {
        if (!hasID)
            return Ignored{};
        return Fault{answeredID, invalidParams,
                     QStringLiteral("Invalid params: \"params\" must be an object")};
    }
    return Request{hasID ? id : QJsonValue(QJsonValue::Undefined), method.toString(),
                   params.toObject()};
}

QByteArray resultLine(const QJsonValue& id, const QJsonObject& result)
{
    return line({{QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
                 {QStringLiteral("id"), id},
                 {QStringLiteral("result"), result}});
}

QByteArray errorLine(const QJsonValue& id, int code, const QString& message, const QJsonValue& data)
{
    QJsonObject error{{QStringLiteral("code"), code}, {QStringLiteral("message"), message}};
    if (!data.isUndefined())
        error.insert(QStringLiteral("data"), data);
    return line({{QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
                 {QStringLiteral("id"), id},
                 {QStringLiteral("error"), error}});
}

} // namespace Mcp
