#include "discovery/project_inspector.h"

#include "core/paths.h"
#include "discovery/config/config_parser.h"
#include "discovery/config/parsed_config.h"
#include "discovery/file_probe.h"
#include "discovery/framework_detection.h"
#include "discovery/package_inspection.h"

#include <variant>

namespace {

// The parsed configuration, or the description of why it could not be had.
std::variant<ParsedConfig, QString> readConfig(const QString& path, ConfigKind kind)
{
    const file_probe::ReadResult file = file_probe::readFile(path);
    if (file.error)
        return *file.error;
    if (!file_probe::isValidUtf8(file.bytes))
        return QStringLiteral("The file is not valid UTF-8 text");
    const ConfigParseResult parsed = parseConfigUtf8(file.bytes, kind);
    if (!parsed.ok())
        return parsed.error->description;
    return extractConfig(parsed.tree);
}

} // namespace

QString parseErrorText(const QString& configFile, const QString& description)
{
    return QStringLiteral("Couldn't parse ") + configFile + QStringLiteral(": ") + description;
}

ProjectInfo inspectProject(const Project& project)
{
    const QString& folder = project.path;
    ProjectInfo info;
    info.configKind = configKindForFile(project.configFile);

    const auto config = readConfig(joinPath(folder, project.configFile), info.configKind);
    if (const auto* parsed = std::get_if<ParsedConfig>(&config)) {
        info.workerName = parsed->workerName;
        info.mainEntry = parsed->main;
        info.compatibilityDate = parsed->compatibilityDate;
        info.pagesOutputDir = parsed->pagesOutputDir;
        info.bindings = parsed->bindings;
        info.varNames = parsed->varNames;
    } else {
        info.parseError = parseErrorText(project.configFile, std::get<QString>(config));
    }

    info.packageManager = detectPackageManager(folder);
    info.packageRoot = findPackageRoot(folder);
    info.scriptRoot = findScriptRoot(folder);
    const QString scriptFolder = info.scriptRoot.value_or(folder);
    // The project folder and the script root; one folder says the same thing twice.
    QStringList searchFolders{folder};
    if (scriptFolder != folder)
        searchFolders.append(scriptFolder);

    info.wranglerVersion = installedVersion(QStringLiteral("wrangler"), folder);
    info.vitePluginVersion = installedVersion(QStringLiteral("@cloudflare/vite-plugin"), folder);
    info.hasDevScript = packageHasDevScript(scriptFolder);
    info.framework = detectFramework(searchFolders);
    info.cms = detectCms(searchFolders);
    for (const QString& ancestor : ancestorFolders(folder, packageLookupLimit)) {
        if (file_probe::exists(joinPath(ancestor, QStringLiteral("node_modules")))) {
            info.nodeModulesPresent = true;
            break;
        }
    }
    info.depsInstalled = info.wranglerVersion.has_value();
    info.detectedMode = detectMode(info, searchFolders);
    return info;
}
