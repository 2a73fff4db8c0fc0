#include "control/control_protocol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <array>
#include <cmath>
#include <optional>

namespace {

constexpr std::array commands{
    ControlCommand::show, ControlCommand::status,  ControlCommand::start,
    ControlCommand::stop, ControlCommand::restart, ControlCommand::logs,
    ControlCommand::open, ControlCommand::lines,   ControlCommand::details};

// Upper bound of `lines`: more than any log keeps.
constexpr int maxLines = 100000;
// Line ids stay below 2^53, where a JSON number is still exact.
constexpr double maxLineID = 9007199254740991.0;

std::optional<ControlCommand> commandNamed(const QString& name)
{
    for (const ControlCommand command : commands)
        if (rawValue(command) == name)
            return command;
    return std::nullopt;
}

bool takesNames(ControlCommand command)
{
    return command != ControlCommand::show && command != ControlCommand::status;
}

bool takesOneName(ControlCommand command)
{
    return command == ControlCommand::logs || command == ControlCommand::open ||
           command == ControlCommand::lines || command == ControlCommand::details;
}

RequestError wrongType(const QString& key, const char* expected)
{
    return {QStringLiteral("\"%1\" must be %2").arg(key, QLatin1StringView(expected))};
}

} // namespace

QString rawValue(ControlCommand command)
{
    switch (command) {
    case ControlCommand::show: return QStringLiteral("show");
    case ControlCommand::status: return QStringLiteral("status");
    case ControlCommand::start: return QStringLiteral("start");
    case ControlCommand::stop: return QStringLiteral("stop");
    case ControlCommand::restart: return QStringLiteral("restart");
    case ControlCommand::logs: return QStringLiteral("logs");
    case ControlCommand::open: return QStringLiteral("open");
    case ControlCommand::lines: return QStringLiteral("lines");
    case ControlCommand::details: return QStringLiteral("details");
    }
    return {};
}

std::variant<ControlRequest, RequestError> decodeRequest(QByteArrayView line)
{
    if (line.size() >= ControlProtocol::maxLineBytes)
        return RequestError{QStringLiteral("the request is longer than 64 KiB")};
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(line.toByteArray(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return RequestError{QStringLiteral("the request is not a JSON object")};
    const QJsonObject object = document.object();

    const QJsonValue version = object.value(QStringLiteral("v"));
    if (!version.isDouble() || version.toDouble() != ControlProtocol::version)
        return RequestError{QStringLiteral("unsupported protocol version (this instance speaks "
                                           "version %1)")
                                .arg(ControlProtocol::version)};
    const std::optional<ControlCommand> command =
        commandNamed(object.value(QStringLiteral("command")).toString());
    if (!command)
        return RequestError{QStringLiteral("unknown command")};

    ControlRequest request;
    request.command = *command;
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString& key = it.key();
        const QJsonValue value = it.value();
        if (key == u"v" || key == u"command")
            continue;
        if (key == u"names") {
            if (!value.isArray())
                return wrongType(key, "an array of strings");
            for (const QJsonValue name : value.toArray()) {
                if (!name.isString() || name.toString().isEmpty())
                    return wrongType(key, "an array of strings");
                request.names.append(name.toString());
            }
        } else if (key == u"cwd") {
            if (!value.isString())
                return wrongType(key, "a string");
            request.workingFolder = value.toString();
        } else if (key == u"filter") {
            if (!value.isString())
                return wrongType(key, "a string");
            request.filter = value.toString();
        } else if (key == u"after") {
            const double after = value.toDouble(-1);
            if (!value.isDouble() || after < 0 || after > maxLineID || std::floor(after) != after)
                return wrongType(key, "a line id (a whole number from 0)");
            request.after = qint64(after);
        } else if (key == u"wait" || key == u"yes" || key == u"follow" || key == u"explorer" ||
                   key == u"problems" || key == u"withServices") {
            if (!value.isBool())
                return wrongType(key, "true or false");
            const bool flag = value.toBool();
            if (key == u"wait")
                request.wait = flag;
            else if (key == u"yes")
                request.confirmed = flag;
            else if (key == u"follow")
                request.follow = flag;
            else if (key == u"problems")
                request.problemsOnly = flag;
            else if (key == u"explorer")
                request.explorer = flag;
            else
                request.withServices = flag;
        } else if (key == u"environment") {
            if (!value.isString())
                return wrongType(key, "a string");
            request.environment = value.toString();
        } else if (key == u"lines") {
            const double lines = value.toDouble(-1);
            if (!value.isDouble() || lines < 0 || lines > maxLines || std::floor(lines) != lines)
                return wrongType(key, "a whole number from 0 to 100000");
            request.lines = int(lines);
        } else {
            return RequestError{QStringLiteral("unknown field \"%1\"").arg(key)};
        }
    }

    if (!takesNames(request.command) && !request.names.isEmpty())
        return RequestError{rawValue(request.command) + QStringLiteral(" takes no names")};
    if (takesNames(request.command) && request.names.isEmpty())
        return RequestError{rawValue(request.command) + QStringLiteral(" needs a project name")};
    if (request.environment && request.command != ControlCommand::start &&
        request.command != ControlCommand::restart)
        return RequestError{rawValue(request.command) + QStringLiteral(" takes no environment")};
    if (request.withServices && request.command != ControlCommand::start)
        return RequestError{QStringLiteral("only start takes \"withServices\"")};
    if (takesOneName(request.command) && request.names.size() != 1)
        return RequestError{rawValue(request.command) +
                            QStringLiteral(" takes exactly one project name")};
    return request;
}

QByteArray encodeRequest(const ControlRequest& request)
{
    const ControlRequest defaults;
    QJsonObject object{{QStringLiteral("v"), ControlProtocol::version},
                       {QStringLiteral("command"), rawValue(request.command)}};
    if (!request.names.isEmpty())
        object.insert(QStringLiteral("names"), QJsonArray::fromStringList(request.names));
    if (!request.workingFolder.isEmpty())
        object.insert(QStringLiteral("cwd"), request.workingFolder);
    if (request.wait != defaults.wait)
        object.insert(QStringLiteral("wait"), request.wait);
    if (request.confirmed != defaults.confirmed)
        object.insert(QStringLiteral("yes"), request.confirmed);
    if (request.lines != defaults.lines)
        object.insert(QStringLiteral("lines"), request.lines);
    if (request.follow != defaults.follow)
        object.insert(QStringLiteral("follow"), request.follow);
    if (request.explorer != defaults.explorer)
        object.insert(QStringLiteral("explorer"), request.explorer);
    if (request.after)
        object.insert(QStringLiteral("after"), double(*request.after));
    if (!request.filter.isEmpty())
        object.insert(QStringLiteral("filter"), request.filter);
    if (request.problemsOnly != defaults.problemsOnly)
        object.insert(QStringLiteral("problems"), request.problemsOnly);
    if (request.environment)
        object.insert(QStringLiteral("environment"), *request.environment);
    if (request.withServices != defaults.withServices)
        object.insert(QStringLiteral("withServices"), request.withServices);
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

namespace ControlAnswer {

QJsonObject success(QJsonObject fields)
{
    fields.insert(QStringLiteral("ok"), true);
    return fields;
}

QJsonObject usageError(const QString& message)
{
    return {{QStringLiteral("ok"), false},
            {QStringLiteral("kind"), QStringLiteral("usage")},
            {QStringLiteral("error"), message}};
}

QJsonObject failure(const QString& message)
{
    return {{QStringLiteral("ok"), false},
            {QStringLiteral("kind"), QStringLiteral("failed")},
            {QStringLiteral("error"), message}};
}

QByteArray encode(QJsonObject message)
{
    message.insert(QStringLiteral("v"), ControlProtocol::version);
    return QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace ControlAnswer
