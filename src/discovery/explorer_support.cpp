#include "discovery/explorer_support.h"

#include "discovery/dev_command.h"
#include "discovery/version_value.h"

namespace {

// `tooOld` when `installed` parses and is older than `required`.
std::optional<ExplorerSupport> checkPackage(const QString& package,
                                            const std::optional<QString>& installed,
                                            const QString& required, PackageManager manager)
{
    if (!installed)
        return std::nullopt;
    const std::optional<VersionValue> version = parseVersion(*installed);
    if (!version || !isOlder(*version, *parseVersion(required)))
        return std::nullopt;
    return ExplorerSupport{ExplorerSupport::Kind::tooOld, package, *installed, required,
                           installCommand(package, manager)};
}

} // namespace

ExplorerSupport explorerSupport(const Project& project, const ProjectInfo* info)
{
    if (!info)
        return ExplorerSupport::ok();
    if (effectiveMode(project, info) == RunModeKind::vite) {
        if (auto plugin = checkPackage(
                QLatin1String(ExplorerMinimum::vitePluginPackage), info->vitePluginVersion,
                QLatin1String(ExplorerMinimum::vitePlugin), info->packageManager))
            return *plugin;
    }
    if (auto wrangler =
            checkPackage(QLatin1String(ExplorerMinimum::wranglerPackage), info->wranglerVersion,
                         QLatin1String(ExplorerMinimum::wrangler), info->packageManager))
        return *wrangler;
    return ExplorerSupport::ok();
}
