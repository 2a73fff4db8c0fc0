#include "discovery/framework_detection.h"

#include "core/paths.h"
#include "discovery/file_probe.h"

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

std::optional<QString> detectFramework(const QStringList& folders)
{
    for (const QString& folder : folders) {
        const QStringList names = file_probe::listNames(folder);
        for (const FrameworkMarker& marker : frameworkMarkers())
            for (const QString& name : names)
                if (name.startsWith(marker.prefix))
                    return marker.framework;
    }
    return std::nullopt;
}

namespace {

const QString emDash = QStringLiteral("EmDash");

bool dependsOnEmDash(const QString& folder)
{
    const auto package =
        file_probe::readJsonObject(joinPath(folder, QStringLiteral("package.json")));
    if (!package)
        return false;
    for (const char* section : {"dependencies", "devDependencies"}) {
        const QJsonValue dependencies = package->value(QLatin1String(section));
        if (dependencies.isObject() && dependencies.toObject().contains(QLatin1String("emdash")))
            return true;
    }
    return false;
}

bool astroConfigUsesEmDash(const QString& folder)
{
    for (const QString& name : file_probe::listNames(folder)) {
        if (!name.startsWith(QLatin1String("astro.config")))
            continue;
        const auto text = file_probe::readUtf8(joinPath(folder, name));
        if (text && text->contains("emdash/astro"))
            return true;
    }
    return false;
}

bool viteConfigUsesCloudflarePlugin(const QString& folder)
{
    for (const QString& name : viteConfigNames()) {
        const auto text = file_probe::readUtf8(joinPath(folder, name));
        if (text && text->contains("@cloudflare/vite-plugin"))
            return true;
    }
    return false;
}

} // namespace

std::optional<QString> detectCms(const QStringList& folders)
{
    for (const QString& folder : folders) {
        if (dependsOnEmDash(folder) ||
            file_probe::exists(
                joinPath(folder, QStringLiteral("node_modules/emdash/package.json"))) ||
            astroConfigUsesEmDash(folder))
            return emDash;
    }
    return std::nullopt;
}

RunModeKind detectMode(const ProjectInfo& info, const QStringList& folders)
{
    if (info.pagesOutputDir)
        return info.hasDevScript ? RunModeKind::devScript : RunModeKind::pages;
    for (const QString& folder : folders)
        if (viteConfigUsesCloudflarePlugin(folder))
            return RunModeKind::vite;
    if (info.framework && info.hasDevScript)
        return RunModeKind::devScript;
    return RunModeKind::wrangler;
}
