#include "app/cli_json.h"

#include <QJsonArray>

namespace {

void putOptional(QJsonObject& object, const char* key, const std::optional<QString>& value)
{
    if (value)
        object.insert(QLatin1String(key), *value);
}

} // namespace

QJsonObject toJson(const WorkerBinding& binding)
{
    QJsonObject object{{QStringLiteral("kind"), rawValue(binding.kind)},
                       {QStringLiteral("name"), binding.name}};
    putOptional(object, "detail", binding.detail);
    return object;
}

QJsonObject toJson(const EnvironmentConfig& environment)
{
    QJsonArray bindings;
    for (const WorkerBinding& binding : environment.bindings)
        bindings.append(toJson(binding));
    QJsonObject object{
        {QStringLiteral("name"), environment.name},
        {QStringLiteral("bindings"), bindings},
        {QStringLiteral("varNames"), QJsonArray::fromStringList(environment.varNames)},
        {QStringLiteral("notInherited"), QJsonArray::fromStringList(environment.notInherited)}};
    putOptional(object, "workerName", environment.workerName);
    putOptional(object, "mainEntry", environment.main);
    putOptional(object, "compatibilityDate", environment.compatibilityDate);
    return object;
}

QJsonObject toJson(const ProjectInfo& info)
{
    QJsonArray bindings;
    for (const WorkerBinding& binding : info.bindings)
        bindings.append(toJson(binding));
    QJsonObject object{{QStringLiteral("configKind"), rawValue(info.configKind)},
                       {QStringLiteral("bindings"), bindings},
                       {QStringLiteral("varNames"), QJsonArray::fromStringList(info.varNames)},
                       {QStringLiteral("packageManager"), rawValue(info.packageManager)},
                       {QStringLiteral("detectedMode"), rawValue(info.detectedMode)},
                       {QStringLiteral("hasDevScript"), info.hasDevScript},
                       {QStringLiteral("depsInstalled"), info.depsInstalled},
                       {QStringLiteral("nodeModulesPresent"), info.nodeModulesPresent}};
    putOptional(object, "workerName", info.workerName);
    putOptional(object, "mainEntry", info.mainEntry);
    putOptional(object, "compatibilityDate", info.compatibilityDate);
    putOptional(object, "parseError", info.parseError);
    putOptional(object, "wranglerVersion", info.wranglerVersion);
    putOptional(object, "vitePluginVersion", info.vitePluginVersion);
    putOptional(object, "pagesOutputDir", info.pagesOutputDir);
    putOptional(object, "framework", info.framework);
    putOptional(object, "packageRoot", info.packageRoot);
    putOptional(object, "scriptRoot", info.scriptRoot);
    putOptional(object, "cms", info.cms);
    if (!info.environments.isEmpty()) {
        QJsonArray environments;
        for (const EnvironmentConfig& environment : info.environments)
            environments.append(toJson(environment));
        object.insert(QStringLiteral("environments"), environments);
    }
    return object;
}

QJsonObject toJson(const DiscoveredConfig& config)
{
    return {{QStringLiteral("dir"), config.dir}, {QStringLiteral("file"), config.file}};
}
