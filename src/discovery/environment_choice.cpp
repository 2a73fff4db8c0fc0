#include "discovery/environment_choice.h"

#include "discovery/dev_command.h"

#include <algorithm>

bool modeTakesEnvironment(RunModeKind mode)
{
    switch (mode) {
    case RunModeKind::wrangler:
    case RunModeKind::vite:
    case RunModeKind::devScript: return true;
    case RunModeKind::pages:
    case RunModeKind::custom: return false;
    }
    return false;
}

QStringList environmentNames(const ProjectInfo* info)
{
    QStringList names;
    if (!info)
        return names;
    names.reserve(info->environments.size());
    for (const EnvironmentConfig& environment : info->environments)
        names.append(environment.name);
    return names;
}

const EnvironmentConfig* findEnvironment(const ProjectInfo* info, const QString& name)
{
    if (!info)
        return nullptr;
    const auto found = std::find_if(
        info->environments.cbegin(), info->environments.cend(),
        [&](const EnvironmentConfig& environment) { return environment.name == name; });
    return found == info->environments.cend() ? nullptr : &*found;
}

const EnvironmentConfig* activeEnvironment(const Project& project, const ProjectInfo* info)
{
    if (!project.environment || !modeTakesEnvironment(effectiveMode(project, info)))
        return nullptr;
    return findEnvironment(info, *project.environment);
}

std::optional<QString> activeEnvironmentName(const Project& project, const ProjectInfo* info)
{
    if (const EnvironmentConfig* environment = activeEnvironment(project, info))
        return environment->name;
    return std::nullopt;
}

bool environmentMissing(const Project& project, const ProjectInfo* info)
{
    return project.environment && info && !findEnvironment(info, *project.environment);
}

std::optional<QString> configuredWorkerName(const Project& project, const ProjectInfo* info)
{
    if (!info)
        return std::nullopt;
    const EnvironmentConfig* environment = activeEnvironment(project, info);
    const std::optional<QString>& name = environment ? environment->workerName : info->workerName;
    if (!name || name->isEmpty())
        return std::nullopt;
    return name;
}

QString effectiveWorkerName(const Project& project, const ProjectInfo* info)
{
    return configuredWorkerName(project, info).value_or(project.name);
}

ProjectInfo infoForActiveEnvironment(const Project& project, const ProjectInfo& info)
{
    const EnvironmentConfig* environment = activeEnvironment(project, &info);
    if (!environment)
        return info;
    ProjectInfo viewed = info;
    viewed.workerName = environment->workerName;
    viewed.mainEntry = environment->main;
    viewed.compatibilityDate = environment->compatibilityDate;
    viewed.bindings = environment->bindings;
    viewed.varNames = environment->varNames;
    return viewed;
}
