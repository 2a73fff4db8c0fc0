#pragma once

#include "base/run_mode.h"
#include "discovery/config/config_kind.h"
#include "discovery/config/environment_config.h"
#include "discovery/config/worker_binding.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The package manager a project uses; `npm` when nothing else is found.
enum class PackageManager { npm, pnpm, yarn, bun };

const QList<PackageManager>& allPackageManagers();
QString rawValue(PackageManager manager);
std::optional<PackageManager> packageManagerFromRaw(const QString& raw);

// What inspection learned about one project: its configuration and the package around it.
// Rebuilt at every launch and scan, never persisted.
struct ProjectInfo
{
    ConfigKind configKind = ConfigKind::jsonc;
    std::optional<QString> workerName;
    std::optional<QString> mainEntry;
    std::optional<QString> compatibilityDate;
    QList<WorkerBinding> bindings;
    QStringList varNames;
    QList<EnvironmentConfig> environments; // the configuration's named environments, by name
    std::optional<QString> parseError;     // set when the configuration could not be read or parsed
    std::optional<QString> wranglerVersion;
    std::optional<QString> vitePluginVersion;
    PackageManager packageManager = PackageManager::npm;
    RunModeKind detectedMode = RunModeKind::wrangler;
    bool hasDevScript = false;
    bool depsInstalled = false; // exactly when wranglerVersion is present
    bool nodeModulesPresent = false;
    std::optional<QString> pagesOutputDir;
    std::optional<QString> framework;
    std::optional<QString> packageRoot;
    std::optional<QString> scriptRoot;
    std::optional<QString> cms; // "EmDash" or absent

    friend bool operator==(const ProjectInfo&, const ProjectInfo&) = default;
};

// Inspection records by project path.
using ProjectInfoMap = QHash<QString, ProjectInfo>;
