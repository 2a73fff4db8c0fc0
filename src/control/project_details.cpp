#include "control/project_details.h"

#include "control/control_protocol.h"
#include "control/status_report.h"
#include "discovery/dev_command.h"
#include "model/app_model.h"

#include <QJsonArray>

namespace {

void insertKnown(QJsonObject& object, const QString& key, const std::optional<QString>& value)
{
    if (value && !value->isEmpty())
        object.insert(key, *value);
}

QJsonArray bindingList(const QList<WorkerBinding>& bindings)
{
    QJsonArray list;
    for (const WorkerBinding& binding : bindings) {
        QJsonObject entry{{QStringLiteral("kind"), rawValue(binding.kind)},
                          {QStringLiteral("name"), binding.name}};
        insertKnown(entry, QStringLiteral("resource"), binding.detail);
        list.append(entry);
    }
    return list;
}

} // namespace

QJsonObject projectDetails(AppModel& model, const QString& path)
{
    const std::optional<Project> project = model.findProject(path);
    if (!project)
        return ControlAnswer::failure(QStringLiteral("the project was removed"));
    QJsonObject details = statusEntry(model, *project, model.displayName(*project));
    const ProjectInfo* info = model.infoFor(path);
    details.insert(QStringLiteral("configFile"), project->configFile);
    const RunModeKind mode = effectiveMode(*project, info);
    details.insert(QStringLiteral("runMode"), rawValue(mode));
    details.insert(QStringLiteral("runModeLabel"), label(mode));
    insertKnown(details, QStringLiteral("command"), displayCommand(*project, info));
    if (project->port)
        details.insert(QStringLiteral("port"), *project->port);
    if (project->inspectorPort)
        details.insert(QStringLiteral("inspectorPort"), *project->inspectorPort);
    details.insert(QStringLiteral("inspected"), info != nullptr);
    if (info) {
        details.insert(QStringLiteral("configFormat"), rawValue(info->configKind));
        insertKnown(details, QStringLiteral("entry"), info->mainEntry);
        insertKnown(details, QStringLiteral("compatibilityDate"), info->compatibilityDate);
        insertKnown(details, QStringLiteral("configError"), info->parseError);
        details.insert(QStringLiteral("packageManager"), rawValue(info->packageManager));
        insertKnown(details, QStringLiteral("wranglerVersion"), info->wranglerVersion);
        insertKnown(details, QStringLiteral("vitePluginVersion"), info->vitePluginVersion);
        details.insert(QStringLiteral("dependenciesReady"), dependenciesReady(*project, info));
        insertKnown(details, QStringLiteral("framework"), info->framework);
        insertKnown(details, QStringLiteral("pagesOutput"), info->pagesOutputDir);
        details.insert(QStringLiteral("bindings"), bindingList(info->bindings));
        details.insert(QStringLiteral("variables"), QJsonArray::fromStringList(info->varNames));
    }
    return ControlAnswer::success({{QStringLiteral("project"), details}});
}
