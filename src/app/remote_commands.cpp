#include "app/remote_commands.h"

#include "app/remote_output.h"
#include "control/control_client.h"
#include "control/control_protocol.h"
#include "control/instance_lock.h"
#include "storage/storage.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>
#include <variant>

const char* const remoteUsage =
    "  tallowmere status [--json|--names]         the projects of the running instance\n"
    "  tallowmere start NAME... [--no-wait]       start, wait until running or failed\n"
    "        [--env ENV]                          with Wrangler environment ENV ('' top level)\n"
    "  tallowmere start NAME --with-services      first start the local projects it binds to\n"
    "  tallowmere stop NAME... [--yes]            stop (--yes: also servers started outside)\n"
    "  tallowmere restart NAME... [--yes]         restart, wait until running or failed\n"
    "        [--env ENV]                          with Wrangler environment ENV ('' top level)\n"
    "  tallowmere logs NAME [-f] [-n N]           the last N lines (100); -f follows them\n"
    "  tallowmere open NAME [--explorer]          open the address or the Local Explorer\n"
    "  NAME is a display name, a worker name or a project folder.\n";

namespace {

enum ExitCode { done = 0, failed = 1, usage = 2, noInstance = 3 };

struct UsageProblem
{
    QString message;
};

std::optional<ControlCommand> remoteCommand(const QString& name)
{
    for (const ControlCommand command :
         {ControlCommand::status, ControlCommand::start, ControlCommand::stop,
          ControlCommand::restart, ControlCommand::logs, ControlCommand::open})
        if (rawValue(command) == name)
            return command;
    return std::nullopt;
}

// How `status` prints.
enum class StatusForm { table, json, names };

// The request the arguments ask for, and how `status` prints.
std::variant<std::pair<ControlRequest, StatusForm>, UsageProblem>
parseArguments(ControlCommand command, const QStringList& arguments)
{
    ControlRequest request;
    request.command = command;
    request.workingFolder = QDir::currentPath();
    StatusForm form = StatusForm::table;
    bool optionsEnded = false;
    const bool startsOrStops = command == ControlCommand::start ||
                               command == ControlCommand::stop ||
                               command == ControlCommand::restart;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (optionsEnded || !argument.startsWith(u'-') || argument == u"-") {
            request.names.append(argument);
        } else if (argument == u"--") {
            optionsEnded = true;
        } else if (command == ControlCommand::status && argument == u"--json") {
            form = StatusForm::json;
        } else if (command == ControlCommand::status && argument == u"--names") {
            form = StatusForm::names;
        } else if (command == ControlCommand::start && argument == u"--with-services") {
            request.withServices = true;
        } else if ((command == ControlCommand::start || command == ControlCommand::restart) &&
                   (argument == u"--env" || argument == u"-e" || argument.startsWith(u"--env="))) {
            if (argument.startsWith(u"--env=")) {
                request.environment = argument.mid(6);
            } else {
                if (++i >= arguments.size())
                    return UsageProblem{argument +
                                        QStringLiteral(" needs an environment name ('' for the "
                                                       "top level)")};
                request.environment = arguments[i];
            }
        } else if (startsOrStops && argument == u"--no-wait") {
            request.wait = false;
        } else if ((command == ControlCommand::stop || command == ControlCommand::restart) &&
                   (argument == u"--yes" || argument == u"-y")) {
            request.confirmed = true;
        } else if (command == ControlCommand::logs &&
                   (argument == u"-f" || argument == u"--follow")) {
            request.follow = true;
        } else if (command == ControlCommand::logs &&
                   (argument == u"-n" || argument == u"--lines" || argument.startsWith(u"-n"))) {
            QString count =
                argument.size() > 2 && argument.startsWith(u"-n") ? argument.mid(2) : QString();
            if (count.isEmpty()) {
                if (++i >= arguments.size())
                    return UsageProblem{argument + QStringLiteral(" needs a number")};
                count = arguments[i];
            }
            bool ok = false;
            request.lines = count.toInt(&ok);
            if (!ok || request.lines < 0 || request.lines > 100000)
                return UsageProblem{QStringLiteral("not a line count: ") + count};
        } else if (command == ControlCommand::open && argument == u"--explorer") {
            request.explorer = true;
        } else {
            return UsageProblem{
                QStringLiteral("unknown option for %1: %2").arg(rawValue(command), argument)};
        }
    }
    const qsizetype names = request.names.size();
    if (command == ControlCommand::status && names > 0)
        return UsageProblem{QStringLiteral("status takes no names")};
    if (startsOrStops && names == 0)
        return UsageProblem{rawValue(command) + QStringLiteral(" needs at least one NAME")};
    if ((command == ControlCommand::logs || command == ControlCommand::open) && names != 1)
        return UsageProblem{rawValue(command) + QStringLiteral(" needs exactly one NAME")};
    return std::pair{request, form};
}

int usageError(const QString& problem)
{
    std::fprintf(stderr, "tallowmere: %s\nUsage:\n%s", qPrintable(problem), remoteUsage);
    return usage;
}

// The exit code of a refusal or failure answer, after printing it.
int reportRefusal(const QJsonObject& answer)
{
    const QString error = answer.value(QStringLiteral("error")).toString();
    if (!error.isEmpty())
        std::fprintf(stderr, "tallowmere: %s\n", qPrintable(error));
    for (const QJsonValue candidate : answer.value(QStringLiteral("candidates")).toArray())
        std::fprintf(stderr, "  %s\n", qPrintable(candidate.toString()));
    return answer.value(QStringLiteral("kind")).toString() == u"usage" ? usage : failed;
}

int lostInstance()
{
    std::fputs("tallowmere: the running instance closed the connection\n", stderr);
    return failed;
}

} // namespace

std::optional<int> runRemoteCommand(const QString& name, const QStringList& arguments)
{
    const std::optional<ControlCommand> command = remoteCommand(name);
    if (!command)
        return std::nullopt;
    const auto parsed = parseArguments(*command, arguments);
    if (const auto* problem = std::get_if<UsageProblem>(&parsed))
        return usageError(problem->message);
    const auto& [request, form] = std::get<std::pair<ControlRequest, StatusForm>>(parsed);

    const QString supportFolder = supportDirectory();
    ControlClient client;
    if (!client.connectTo(InstanceAddress::forSupportFolder(supportFolder).socketPath)) {
        std::fprintf(stderr,
                     "tallowmere: Tallowmere is not running for %s.\nStart it with `tallowmere` "
                     "(or from the applications menu), then try again.\n",
                     qPrintable(QDir::toNativeSeparators(supportFolder)));
        return noInstance;
    }
    if (!client.send(encodeRequest(request)))
        return lostInstance();

    // Every message before the final one (it has "ok") is a log line.
    std::optional<QJsonObject> answer;
    while ((answer = client.receive()) && !answer->contains(QStringLiteral("ok")))
        printLogLine(*answer);
    if (!answer)
        return lostInstance();
    if (!answer->value(QStringLiteral("ok")).toBool() &&
        !answer->contains(QStringLiteral("results")))
        return reportRefusal(*answer);

    switch (*command) {
    case ControlCommand::status:
        if (form == StatusForm::names)
            printNames(answer->value(QStringLiteral("projects")).toArray());
        else
            printStatus(answer->value(QStringLiteral("projects")).toArray(),
                        form == StatusForm::json);
        return done;
    case ControlCommand::start:
    case ControlCommand::stop:
    case ControlCommand::restart:
        for (const QJsonValue note : answer->value(QStringLiteral("notes")).toArray())
            std::fprintf(stderr, "note: %s\n", qPrintable(note.toString()));
        return printResults(*command, answer->value(QStringLiteral("results")).toArray()) ? done
                                                                                          : failed;
    case ControlCommand::logs: printLogEnd(*answer, request.follow); return done;
    case ControlCommand::open:
        std::printf("Opened %s\n", qPrintable(answer->value(QStringLiteral("address")).toString()));
        return done;
    case ControlCommand::show:
    case ControlCommand::lines:
    case ControlCommand::details: break;
    }
    return done;
}
