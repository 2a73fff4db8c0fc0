#include "control/mcp_tools.h"

#include <QJsonDocument>

#include <cmath>

namespace McpTools {

namespace {

// Most log text one read_logs result carries; older (or, when polling, later) lines are left
// for another call.
constexpr qsizetype maxLogTextBytes = qsizetype(1024) * 1024;
constexpr int defaultLogLines = 100;
constexpr int maxLogLines = 2000;

const QString nameArgument = QStringLiteral("name");

QJsonObject nameProperty()
{
    return {{QStringLiteral("type"), QStringLiteral("string")},
            {QStringLiteral("minLength"), 1},
            {QStringLiteral("description"),
             QStringLiteral("The project: its name as list_projects shows it, its worker name, "
                            "or its folder (absolute, or relative to the folder this server "
                            "was started in, so \".\" is the current project).")}};
}

QJsonObject booleanProperty(const QString& description)
{
    return {{QStringLiteral("type"), QStringLiteral("boolean")},
            {QStringLiteral("description"), description}};
}

QJsonObject schema(const QJsonObject& properties, const QStringList& required)
{
    QJsonObject object{{QStringLiteral("type"), QStringLiteral("object")},
                       {QStringLiteral("properties"), properties},
                       {QStringLiteral("additionalProperties"), false}};
    if (!required.isEmpty())
        object.insert(QStringLiteral("required"), QJsonArray::fromStringList(required));
    return object;
}

QJsonObject tool(const QString& name, const QString& title, const QString& description,
                 const QJsonObject& inputSchema, bool readOnly, bool destructive)
{
    QJsonObject annotations{{QStringLiteral("title"), title},
                            {QStringLiteral("readOnlyHint"), readOnly},
                            {QStringLiteral("openWorldHint"), false}};
    if (!readOnly) {
        annotations.insert(QStringLiteral("destructiveHint"), destructive);
        annotations.insert(QStringLiteral("idempotentHint"), true);
    }
    return {{QStringLiteral("name"), name},
            {QStringLiteral("title"), title},
            {QStringLiteral("description"), description},
            {QStringLiteral("inputSchema"), inputSchema},
            {QStringLiteral("annotations"), annotations}};
}

QJsonArray buildDefinitions()
{
    const QJsonObject nameOnly = schema({{nameArgument, nameProperty()}}, {nameArgument});
    const QJsonObject confirm = booleanProperty(
        QStringLiteral("Go ahead although the server was started outside Tallowmere (in a "
                       "terminal, say). Ask the user first: it may be theirs."));
    return {
        tool(QStringLiteral("list_projects"), QStringLiteral("List projects"),
             QStringLiteral(
                 "List the Cloudflare Workers projects Tallowmere manages on this machine, in "
                 "the order its sidebar shows them. Each entry has: name (pass it to the other "
                 "tools), path, workerName, status (stopped, starting, running or error), "
                 "address (the local URL while running), pid and memoryBytes (proportional "
                 "set size of all its processes) while active, traffic (requests, errors, "
                 "p50Ms, p95Ms over windowSeconds) and cpuPercent (of one core) while running, "
                 "error (why it failed), external (true when the server was started outside "
                 "Tallowmere) and favorite."),
             schema({}, {}), true, false),
        tool(QStringLiteral("start_project"), QStringLiteral("Start a project"),
             QStringLiteral(
                 "Start a project's local dev server the way Tallowmere is set up to run it "
                 "(wrangler dev, vite dev, the package's dev script or a custom command) and "
                 "wait until it is running or has failed, for up to two minutes. On success the "
                 "result has the status and the address to send requests to. A start that "
                 "fails or is refused (missing dependencies, a busy port, a broken "
                 "configuration) is an error result with Tallowmere's message; read_logs then "
                 "shows the server's output. Starting a running project changes nothing."),
             schema({{nameArgument, nameProperty()},
                     {QStringLiteral("with_services"),
                      booleanProperty(QStringLiteral(
                          "Also start the local projects this one's service bindings name, so "
                          "that calls to them work."))},
                     {QStringLiteral("environment"),
                      QJsonObject{{QStringLiteral("type"), QStringLiteral("string")},
                                  {QStringLiteral("description"),
                                   QStringLiteral("The environment of the Wrangler "
                                                  "configuration to run (wrangler dev --env); "
                                                  "\"\" for the top level. Kept as the "
                                                  "project's choice for later starts.")}}}},
                    {nameArgument}),
             false, false),
        tool(QStringLiteral("stop_project"), QStringLiteral("Stop a project"),
             QStringLiteral(
                 "Stop a project's dev server and wait until it has stopped. A server started "
                 "outside Tallowmere is stopped only with confirm: true; without it the result "
                 "is an error that says who started it."),
             schema({{nameArgument, nameProperty()}, {QStringLiteral("confirm"), confirm}},
                    {nameArgument}),
             false, true),
        tool(QStringLiteral("restart_project"), QStringLiteral("Restart a project"),
             QStringLiteral(
                 "Stop a project's dev server and start it again, then wait until it is "
                 "running or has failed, as start_project does; a stopped project is just "
                 "started. Use it after changing the configuration or dependencies (the dev "
                 "server reloads code changes by itself). A server started outside Tallowmere "
                 "is restarted only with confirm: true."),
             schema({{nameArgument, nameProperty()}, {QStringLiteral("confirm"), confirm}},
                    {nameArgument}),
             false, true),
        tool(QStringLiteral("read_logs"), QStringLiteral("Read a project's log"),
             QStringLiteral(
                 "Read the output Tallowmere captured from a project's dev server: its standard "
                 "output and error, and Tallowmere's own notes (the start command, the exit). "
                 "Every line has an id. Without since: the last `lines` lines. With since: the "
                 "lines after that id, oldest first, at most `lines`; pass the lastId of the "
                 "previous result to poll for new output without rereading (more: true means "
                 "further lines are waiting). errors_only keeps the lines Tallowmere's Logs "
                 "view marks as errors and warnings; filter keeps the lines that contain its "
                 "text, ignoring case. A server started outside Tallowmere has no captured "
                 "output."),
             schema({{nameArgument, nameProperty()},
                     {QStringLiteral("lines"),
                      QJsonObject{{QStringLiteral("type"), QStringLiteral("integer")},
                                  {QStringLiteral("minimum"), 1},
                                  {QStringLiteral("maximum"), maxLogLines},
                                  {QStringLiteral("default"), defaultLogLines},
                                  {QStringLiteral("description"),
                                   QStringLiteral("How many lines at most.")}}},
                     {QStringLiteral("since"),
                      QJsonObject{{QStringLiteral("type"), QStringLiteral("integer")},
                                  {QStringLiteral("minimum"), 0},
                                  {QStringLiteral("description"),
                                   QStringLiteral("Only the lines after this line id (the "
                                                  "lastId of an earlier result).")}}},
                     {QStringLiteral("filter"),
                      QJsonObject{{QStringLiteral("type"), QStringLiteral("string")},
                                  {QStringLiteral("description"),
                                   QStringLiteral("Only the lines containing this text, "
                                                  "ignoring case.")}}},
                     {QStringLiteral("errors_only"),
                      booleanProperty(QStringLiteral("Only errors and warnings."))}},
                    {nameArgument}),
             true, false),
        tool(QStringLiteral("project_details"), QStringLiteral("Describe a project"),
             QStringLiteral(
                 "Describe a project as Tallowmere sees it: configuration file and format, "
                 "entry module, compatibility date, run mode and the command it starts, "
                 "package manager, the installed Wrangler and Vite plugin versions, whether the "
                 "dependencies are installed, framework, bindings (kind, name and the resource "
                 "they point at) and variable names, with the current status and address."),
             nameOnly, true, false),
    };
}

// The arguments a tool takes, each checked against its type.
enum class Type { string, boolean, integer };

struct Parameter
{
    QString name;
    Type type;
    bool required = false;
    double minimum = 0;
    double maximum = 9007199254740991.0;
};

QList<Parameter> parametersOf(const QString& tool)
{
    const Parameter name{nameArgument, Type::string, true};
    if (tool == u"list_projects")
        return {};
    if (tool == u"start_project")
        return {name,
                {QStringLiteral("with_services"), Type::boolean},
                {QStringLiteral("environment"), Type::string}};
    if (tool == u"stop_project" || tool == u"restart_project")
        return {name, {QStringLiteral("confirm"), Type::boolean}};
    if (tool == u"read_logs")
        return {name,
                {QStringLiteral("lines"), Type::integer, false, 1, maxLogLines},
                {QStringLiteral("since"), Type::integer},
                {QStringLiteral("filter"), Type::string},
                {QStringLiteral("errors_only"), Type::boolean}};
    return {name};
}

std::optional<ArgumentError> check(const QString& tool, const QJsonObject& arguments)
{
    const QList<Parameter> parameters = parametersOf(tool);
    for (auto it = arguments.begin(); it != arguments.end(); ++it) {
        const auto parameter =
            std::find_if(parameters.cbegin(), parameters.cend(),
                         [&](const Parameter& known) { return known.name == it.key(); });
        if (parameter == parameters.cend()) {
            QStringList names;
            for (const Parameter& known : parameters)
                names.append(known.name);
            return ArgumentError{QStringLiteral("%1 takes no argument \"%2\"%3")
                                     .arg(tool, it.key(),
                                          names.isEmpty()
                                              ? QString()
                                              : QStringLiteral(" (it takes: ") +
                                                    names.join(QStringLiteral(", ")) + u')')};
        }
        const QJsonValue value = it.value();
        switch (parameter->type) {
        case Type::string:
            if (!value.isString())
                return ArgumentError{QStringLiteral("\"%1\" must be a string").arg(it.key())};
            if (parameter->required && value.toString().isEmpty())
                return ArgumentError{QStringLiteral("\"%1\" must not be empty").arg(it.key())};
            break;
        case Type::boolean:
            if (!value.isBool())
                return ArgumentError{QStringLiteral("\"%1\" must be true or false").arg(it.key())};
            break;
        case Type::integer: {
            const double number = value.toDouble();
            if (!value.isDouble() || std::floor(number) != number || number < parameter->minimum ||
                number > parameter->maximum)
                return ArgumentError{
                    parameter->maximum < 1e15
                        ? QStringLiteral("\"%1\" must be a whole number from %2 to %3")
                              .arg(it.key())
                              .arg(parameter->minimum)
                              .arg(parameter->maximum)
                        : QStringLiteral("\"%1\" must be a whole number from %2")
                              .arg(it.key())
                              .arg(parameter->minimum)};
            break;
        }
        }
    }
    for (const Parameter& parameter : parameters)
        if (parameter.required && !arguments.contains(parameter.name))
            return ArgumentError{QStringLiteral("%1 needs \"%2\"").arg(tool, parameter.name)};
    return std::nullopt;
}

QString compact(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

Result structuredResult(const QJsonObject& object)
{
    return {compact(object), object, false};
}

// The refusal of a request as a whole (no such project, an ambiguous name, ...).
Result refusal(const QJsonObject& answer)
{
    QString text = answer.value(QStringLiteral("error")).toString();
    if (text.isEmpty())
        text = QStringLiteral("the running instance refused the request");
    for (const QJsonValue candidate : answer.value(QStringLiteral("candidates")).toArray())
        text += QStringLiteral("\n  ") + candidate.toString();
    return errorResult(text);
}

// The line of a result for the model: "web is running at http://localhost:8787".
QString outcomeText(const QJsonObject& project)
{
    const QString name = project.value(QStringLiteral("name")).toString();
    const QString status = project.value(QStringLiteral("status")).toString();
    const QString address = project.value(QStringLiteral("address")).toString();
    return address.isEmpty() ? QStringLiteral("%1 is %2").arg(name, status)
                             : QStringLiteral("%1 is %2 at %3").arg(name, status, address);
}

Result operationResult(const QString& tool, const QJsonObject& answer)
{
    QJsonArray results = answer.value(QStringLiteral("results")).toArray();
    if (results.isEmpty())
        return refusal(answer);
    // One project was named; a start with its services lists the services it started first.
    QJsonObject project = results.takeAt(results.size() - 1).toObject();
    QJsonArray services;
    QStringList serviceLines;
    for (const QJsonValue value : std::as_const(results)) {
        QJsonObject service = value.toObject();
        service.remove(QStringLiteral("ok"));
        serviceLines.append(outcomeText(service));
        services.append(service);
    }
    const bool ok = project.take(QStringLiteral("ok")).toBool();
    QString message;
    if (!ok) {
        const QString confirm = project.take(QStringLiteral("confirm")).toString();
        const QString error = project.take(QStringLiteral("error")).toString();
        message =
            confirm.isEmpty()
                ? project.value(QStringLiteral("name")).toString() + QStringLiteral(": ") + error
                : confirm + QStringLiteral(" To go ahead, call %1 again with confirm: "
                                           "true (ask the user first).")
                                .arg(tool);
    } else {
        message = outcomeText(project);
    }
    if (!serviceLines.isEmpty())
        message += QStringLiteral(" (services started first: ") +
                   serviceLines.join(QStringLiteral("; ")) + u')';
    const QJsonArray notes = answer.value(QStringLiteral("notes")).toArray();
    for (const QJsonValue note : notes)
        message += u'\n' + note.toString();
    QJsonObject content{{QStringLiteral("message"), message}, {QStringLiteral("project"), project}};
    if (!services.isEmpty())
        content.insert(QStringLiteral("services"), services);
    if (!notes.isEmpty())
        content.insert(QStringLiteral("notes"), notes);
    // A failure's text is the application's message alone: that is what the model reads.
    if (!ok)
        return {message, content, true};
    return structuredResult(content);
}

Result logResult(const ControlRequest& request, const QJsonObject& answer)
{
    QJsonObject log = answer;
    log.remove(QStringLiteral("ok"));
    log.remove(QStringLiteral("v"));
    log.insert(QStringLiteral("name"), request.names.value(0));
    QJsonArray lines = log.value(QStringLiteral("lines")).toArray();
    qsizetype bytes = 0;
    const auto size = [](const QJsonValue& line) {
        return line.toObject().value(QStringLiteral("text")).toString().size() + 32;
    };
    if (request.after) {
        // Polling: keep the oldest lines, and let the next call carry on after the last one.
        qsizetype kept = 0;
        while (kept < lines.size() && (kept == 0 || bytes + size(lines[kept]) <= maxLogTextBytes))
            bytes += size(lines[kept++]);
        if (kept < lines.size()) {
            while (lines.size() > kept)
                lines.removeLast();
            log.insert(QStringLiteral("lastId"),
                       lines.last().toObject().value(QStringLiteral("id")));
            log.insert(QStringLiteral("more"), true);
        }
    } else {
        qsizetype kept = 0;
        while (kept < lines.size() &&
               (kept == 0 || bytes + size(lines[lines.size() - 1 - kept]) <= maxLogTextBytes))
            bytes += size(lines[lines.size() - 1 - kept++]);
        if (kept < lines.size()) {
            while (lines.size() > kept)
                lines.removeFirst();
            log.insert(QStringLiteral("truncated"), true);
        }
    }
    log.insert(QStringLiteral("lines"), lines);
    if (log.value(QStringLiteral("external")).toBool() && lines.isEmpty())
        log.insert(QStringLiteral("note"),
                   QStringLiteral("The server was started outside Tallowmere, so its output "
                                  "is not captured. Stop it and start it with start_project "
                                  "to read its log."));
    return structuredResult(log);
}

} // namespace

QJsonArray definitions()
{
    static const QJsonArray tools = buildDefinitions();
    return tools;
}

bool exists(const QString& tool)
{
    for (const QJsonValue definition : definitions())
        if (definition.toObject().value(QStringLiteral("name")).toString() == tool)
            return true;
    return false;
}

std::variant<ControlRequest, ArgumentError>
requestFor(const QString& tool, const QJsonObject& arguments, const QString& workingFolder)
{
    if (const std::optional<ArgumentError> error = check(tool, arguments))
        return *error;
    ControlRequest request;
    request.workingFolder = workingFolder;
    if (tool == u"list_projects")
        return request;
    request.names = {arguments.value(nameArgument).toString()};
    request.confirmed = arguments.value(QStringLiteral("confirm")).toBool();
    if (tool == u"start_project") {
        request.command = ControlCommand::start;
        request.withServices = arguments.value(QStringLiteral("with_services")).toBool();
        if (arguments.contains(QStringLiteral("environment")))
            request.environment = arguments.value(QStringLiteral("environment")).toString();
    } else if (tool == u"stop_project")
        request.command = ControlCommand::stop;
    else if (tool == u"restart_project")
        request.command = ControlCommand::restart;
    else if (tool == u"read_logs") {
        request.command = ControlCommand::lines;
        request.lines = arguments.value(QStringLiteral("lines")).toInt(defaultLogLines);
        if (arguments.contains(QStringLiteral("since")))
            request.after = qint64(arguments.value(QStringLiteral("since")).toDouble());
        request.filter = arguments.value(QStringLiteral("filter")).toString();
        request.problemsOnly = arguments.value(QStringLiteral("errors_only")).toBool();
    } else
        request.command = ControlCommand::details;
    return request;
}

Result errorResult(const QString& message)
{
    return {message, std::nullopt, true};
}

Result resultFor(const QString& tool, const ControlRequest& request, const QJsonObject& answer)
{
    if (tool == u"start_project" || tool == u"stop_project" || tool == u"restart_project")
        return operationResult(tool, answer);
    if (!answer.value(QStringLiteral("ok")).toBool())
        return refusal(answer);
    if (tool == u"list_projects")
        return structuredResult(
            {{QStringLiteral("projects"), answer.value(QStringLiteral("projects"))}});
    if (tool == u"read_logs")
        return logResult(request, answer);
    return structuredResult(answer.value(QStringLiteral("project")).toObject());
}

QJsonObject encode(const Result& result, bool structured)
{
    QJsonObject encoded{{QStringLiteral("content"),
                         QJsonArray{QJsonObject{{QStringLiteral("type"), QStringLiteral("text")},
                                                {QStringLiteral("text"), result.text}}}},
                        {QStringLiteral("isError"), result.isError}};
    if (structured && result.structured)
        encoded.insert(QStringLiteral("structuredContent"), *result.structured);
    return encoded;
}

} // namespace McpTools
