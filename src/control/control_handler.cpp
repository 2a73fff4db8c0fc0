#include "control/control_handler.h"

#include "base/deliver.h"
#include "control/control_reply.h"
#include "control/log_follower.h"
#include "control/log_read.h"
#include "control/project_details.h"
#include "control/project_lookup.h"
#include "control/project_operation.h"
#include "control/service_start_reply.h"
#include "control/status_report.h"
#include "desktop/application_presence.h"
#include "desktop/workspace.h"
#include "discovery/dev_command.h"
#include "discovery/environment_choice.h"
#include "model/app_model.h"
#include "runs/project_runtime.h"

#include <QJsonArray>
#include <QPointer>

ControlHandler::ControlHandler(AppModel& model, std::chrono::milliseconds settleLimit)
    : model_(model), settleLimit_(settleLimit)
{}

void ControlHandler::handle(const ControlRequest& request, ControlReply* reply)
{
    switch (request.command) {
    case ControlCommand::show: show(reply); return;
    case ControlCommand::status:
        buildStatus(model_, reply, [reply](const QByteArray& projects) {
            reply->finishWithLine("{\"ok\":true,\"projects\":" + projects +
                                  ",\"v\":" + QByteArray::number(ControlProtocol::version) + "}\n");
        });
        return;
    default: break;
    }

    const auto resolved = resolve(request);
    if (const auto* refusal = std::get_if<QJsonObject>(&resolved)) {
        reply->finish(*refusal);
        return;
    }
    const QStringList& paths = std::get<QStringList>(resolved);
    switch (request.command) {
    case ControlCommand::start:
        if (request.withServices) {
            answerServiceStart(model_, paths, reply);
            return;
        }
        [[fallthrough]];
    case ControlCommand::stop:
    case ControlCommand::restart:
        if (request.environment)
            if (const auto refusal = chooseEnvironment(paths, *request.environment)) {
                reply->finish(*refusal);
                return;
            }
        (new ProjectOperation(model_, request.command, paths, request.wait, request.confirmed,
                              settleLimit_, reply))
            ->run();
        return;
    case ControlCommand::logs:
        new LogFollower(model_.runtimeFor(paths.first()), request.lines, request.follow, reply);
        return;
    case ControlCommand::open: open(paths.first(), request.explorer, reply); return;
    case ControlCommand::lines: reply->finish(readLog(model_, paths.first(), request)); return;
    case ControlCommand::details: {
        // The details carry the traffic figures: read them first when a read is due.
        const QString path = paths.first();
        QPointer<AppModel> model(&model_);
        deliverTo(reply, model_.refreshTraffic(path), [reply, model, path] {
            if (model)
                reply->finish(projectDetails(*model, path));
        });
        return;
    }
    case ControlCommand::show:
    case ControlCommand::status: break;
    }
}

std::variant<QStringList, QJsonObject> ControlHandler::resolve(const ControlRequest& request) const
{
    QList<NamedProject> named;
    named.reserve(model_.projects().size());
    const QHash<QString, QString> displayNames = ::displayNames(model_.projects());
    for (const Project& project : model_.projects()) {
        const ProjectInfo* info = model_.infoFor(project.path);
        named.append({project.path, displayNames.value(project.path),
                      info && info->workerName ? *info->workerName : project.name,
                      effectiveWorkerName(project, info)});
    }
    QStringList paths;
    for (const QString& name : request.names) {
        const auto found = lookUpProject(name, request.workingFolder, named);
        if (const auto* failure = std::get_if<LookupFailure>(&found)) {
            QJsonObject answer = ControlAnswer::usageError(failure->message);
            if (!failure->candidates.isEmpty())
                answer.insert(QStringLiteral("candidates"),
                              QJsonArray::fromStringList(failure->candidates));
            return answer;
        }
        paths.append(std::get<QString>(found));
    }
    return paths;
}

std::optional<QJsonObject> ControlHandler::chooseEnvironment(const QStringList& paths,
                                                             const QString& environment)
{
    // Every project is checked before any choice changes.
    for (const QString& path : paths) {
        if (environment.isEmpty())
            break;
        const std::optional<Project> project = model_.findProject(path);
        const ProjectInfo* info = model_.infoFor(path);
        const QString name = model_.displayName(*project);
        const RunModeKind mode = effectiveMode(*project, info);
        if (!modeTakesEnvironment(mode))
            return ControlAnswer::usageError(
                QStringLiteral("%1 runs as \"%2\", which takes no environment")
                    .arg(name, label(mode)));
        // Before its first inspection a project's environments are not known yet: the choice
        // is kept, and a name the configuration turns out not to declare is never passed.
        if (info && !findEnvironment(info, environment)) {
            const QStringList declared = environmentNames(info);
            QJsonObject answer = ControlAnswer::usageError(
                declared.isEmpty() ? QStringLiteral("%1 declares no environments").arg(name)
                                   : QStringLiteral("%1 declares no environment \"%2\"; it has:")
                                         .arg(name, environment));
            if (!declared.isEmpty())
                answer.insert(QStringLiteral("candidates"), QJsonArray::fromStringList(declared));
            return answer;
        }
    }
    for (const QString& path : paths)
        model_.setEnvironment(path, environment);
    return std::nullopt;
}

void ControlHandler::show(ControlReply* reply)
{
    if (ApplicationPresence* presence = model_.context().desktop.presence)
        presence->bringToFront();
    reply->finish(ControlAnswer::success());
}

void ControlHandler::open(const QString& path, bool explorer, ControlReply* reply)
{
    const ProjectRuntime* runtime = model_.runtimeFor(path);
    const std::optional<Project> project = model_.findProject(path);
    if (runtime->status().kind() != ProjectStatus::Kind::running || !runtime->url()) {
        reply->finish(ControlAnswer::failure(model_.displayName(*project) +
                                             QStringLiteral(" is not running")));
        return;
    }
    QUrl address = *runtime->url();
    if (explorer)
        address =
            QUrl(address.toString(QUrl::StripTrailingSlash) + QStringLiteral("/cdn-cgi/explorer"));
    if (Workspace* workspace = model_.context().desktop.workspace)
        workspace->openAddress(address);
    reply->finish(ControlAnswer::success({{QStringLiteral("address"), address.toString()}}));
}
