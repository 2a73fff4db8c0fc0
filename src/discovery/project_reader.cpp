#include "discovery/project_reader.h"

#include "base/paths.h"
#include "discovery/config/config_parser.h"
#include "discovery/config/parsed_config.h"
#include "discovery/file_probe.h"
#include "discovery/folder_cache.h"
#include "discovery/framework_detection.h"
#include "discovery/package_reading.h"

#include <variant>

namespace {

// The parsed configuration, or the description of why it could not be had.
std::variant<ParsedConfig, QString> readConfig(FolderCache& files, const QString& folder,
                                               const QString& file, ConfigKind kind)
{
    const file_probe::ReadResult read = files.read(folder, file);
    if (read.error)
        return *read.error;
    if (!file_probe::isValidUtf8(read.bytes))
        return QStringLiteral("The file is not valid UTF-8 text");
    const ConfigParseResult parsed = parseConfigUtf8(read.bytes, kind);
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
    const QString folder = standardizePath(project.path);
    FolderCache files;   // every folder below is opened once for the whole inspection
    files.names(folder); // listed first: most lookups in the project folder find nothing
    ProjectInfo info;
    info.configKind = configKindForFile(project.configFile);

    const auto config = readConfig(files, folder, project.configFile, info.configKind);
    if (const auto* parsed = std::get_if<ParsedConfig>(&config)) {
        info.workerName = parsed->workerName;
        info.mainEntry = parsed->main;
        info.compatibilityDate = parsed->compatibilityDate;
        info.pagesOutputDir = parsed->pagesOutputDir;
        info.bindings = parsed->bindings;
        info.varNames = parsed->varNames;
        info.environments = parsed->environments;
    } else {
        info.parseError = parseErrorText(project.configFile, std::get<QString>(config));
    }

    info.packageManager = detectPackageManager(files, folder);
    info.packageRoot = findPackageRoot(files, folder);
    info.scriptRoot = findScriptRoot(files, folder);
    const QString scriptFolder = info.scriptRoot.value_or(folder);
    // The project folder and the script root; one folder says the same thing twice.
    QStringList searchFolders{folder};
    if (scriptFolder != folder)
        searchFolders.append(scriptFolder);

    info.wranglerVersion = installedVersion(files, QStringLiteral("wrangler"), folder);
    info.vitePluginVersion =
        installedVersion(files, QStringLiteral("@cloudflare/vite-plugin"), folder);
    info.hasDevScript = packageHasDevScript(files, scriptFolder);
    info.framework = detectFramework(files, searchFolders);
    info.cms = detectCms(files, searchFolders);
    info.nodeModulesPresent = nodeModulesPresent(files, folder);
    info.depsInstalled = info.wranglerVersion.has_value();
    info.detectedMode = detectMode(files, info, searchFolders);
    return info;
}

QList<QPair<QString, ProjectInfo>> inspectProjects(const QList<Project>& projects)
{
    QList<QPair<QString, ProjectInfo>> results;
    results.reserve(projects.size());
    for (const Project& project : projects)
        results.append({project.path, inspectProject(project)});
    return results;
}
