#include "discovery/framework_detection.h"

#include <QJsonObject>

const QList<FrameworkMarker>& frameworkMarkers()
{
    static const QList<FrameworkMarker> markers{
        {QStringLiteral("astro.config"), QStringLiteral("Astro")},
        {QStringLiteral("nuxt.config"), QStringLiteral("Nuxt")},
        {QStringLiteral("next.config"), QStringLiteral("Next.js")},
        {QStringLiteral("svelte.config"), QStringLiteral("SvelteKit")},
        {QStringLiteral("remix.config"), QStringLiteral("Remix")},
        {QStringLiteral("react-router.config"), QStringLiteral("React Router")},
        {QStringLiteral("vitepress"), QStringLiteral("VitePress")},
        {QStringLiteral("docusaurus.config"), QStringLiteral("Docusaurus")},
        {QStringLiteral("gatsby-config"), QStringLiteral("Gatsby")}};
    return markers;
}

const QStringList& viteConfigNames()
{
    static const QStringList names{
        QStringLiteral("vite.config.ts"), QStringLiteral("vite.config.js"),
        QStringLiteral("vite.config.mjs"), QStringLiteral("vite.config.mts"),
        QStringLiteral("vite.config.cjs")};
    return names;
}

std::optional<QString> detectFramework(FolderCache& files, const QStringList& folders)
{
    for (const QString& folder : folders) {
        const QStringList& names = files.names(folder);
        for (const FrameworkMarker& marker : frameworkMarkers())
            for (const QString& name : names)
                if (name.startsWith(marker.prefix))
                    return marker.framework;
    }
    return std::nullopt;
}

namespace {

const QString emDash = QStringLiteral("EmDash");

bool dependsOnEmDash(FolderCache& files, const QString& folder)
{
    const auto& package = files.packageJson(folder);
    if (!package)
        return false;
    for (const char* section : {"dependencies", "devDependencies"}) {
        const QJsonValue dependencies = package->value(QLatin1String(section));
        if (dependencies.isObject() && dependencies.toObject().contains(QLatin1String("emdash")))
            return true;
    }
    return false;
}

bool astroConfigUsesEmDash(FolderCache& files, const QString& folder)
{
    for (const QString& name : files.names(folder)) {
        if (!name.startsWith(QLatin1String("astro.config")))
            continue;
        const auto text = files.readUtf8(folder, name);
        if (text && text->contains("emdash/astro"))
            return true;
    }
    return false;
}

bool viteConfigUsesCloudflarePlugin(FolderCache& files, const QString& folder)
{
    for (const QString& name : viteConfigNames()) {
        const auto text = files.readUtf8(folder, name);
        if (text && text->contains("@cloudflare/vite-plugin"))
            return true;
    }
    return false;
}

} // namespace

std::optional<QString> detectCms(FolderCache& files, const QStringList& folders)
{
    for (const QString& folder : folders) {
        if (dependsOnEmDash(files, folder) ||
            files.exists(folder, QStringLiteral("node_modules/emdash/package.json")) ||
            astroConfigUsesEmDash(files, folder))
            return emDash;
    }
    return std::nullopt;
}

RunModeKind detectMode(FolderCache& files, const ProjectInfo& info, const QStringList& folders)
{
    if (info.pagesOutputDir)
        return info.hasDevScript ? RunModeKind::devScript : RunModeKind::pages;
    for (const QString& folder : folders)
        if (viteConfigUsesCloudflarePlugin(files, folder))
            return RunModeKind::vite;
    if (info.framework && info.hasDevScript)
        return RunModeKind::devScript;
    return RunModeKind::wrangler;
}

std::optional<QString> detectFramework(const QStringList& folders)
{
    FolderCache files;
    return detectFramework(files, folders);
}

std::optional<QString> detectCms(const QStringList& folders)
{
    FolderCache files;
    return detectCms(files, folders);
}

RunModeKind detectMode(const ProjectInfo& info, const QStringList& folders)
{
    FolderCache files;
    return detectMode(files, info, folders);
}
