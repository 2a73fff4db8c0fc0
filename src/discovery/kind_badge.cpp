#include "discovery/kind_badge.h"

std::optional<KindBadge> frameworkBadge(const QString& framework)
{
    static const QList<KindBadge> badges{
        {QStringLiteral("Astro"), QStringLiteral("astro"), QStringLiteral("rocket")},
        {QStringLiteral("Nuxt"), QStringLiteral("nuxt"), QStringLiteral("leaf")},
        {QStringLiteral("Next.js"), QStringLiteral("nextjs"), QStringLiteral("globe")},
        {QStringLiteral("SvelteKit"), QStringLiteral("svelte"), QStringLiteral("zap")},
        {QStringLiteral("Remix"), QStringLiteral("remix"), QStringLiteral("layers")},
        {QStringLiteral("React Router"), QStringLiteral("reactrouter"),
         QStringLiteral("waypoints")},
        {QStringLiteral("VitePress"), QStringLiteral("vitepress"), QStringLiteral("file-text")},
        {QStringLiteral("Docusaurus"), QStringLiteral("docusaurus"), QStringLiteral("file-text")},
        {QStringLiteral("Gatsby"), QStringLiteral("gatsby"), QStringLiteral("sparkles")}};
    for (const KindBadge& badge : badges)
        if (badge.name == framework)
            return badge;
    return std::nullopt;
}

KindBadge contentSystemBadge()
{
    return {QStringLiteral("EmDash"), QStringLiteral("emdash"), QStringLiteral("minus")};
}

KindBadge pagesBadge()
{
    return {QStringLiteral("Pages"), QStringLiteral("cloudflare-pages"), QStringLiteral("globe")};
}

KindBadge workerBadge()
{
    return {QStringLiteral("Worker"), QStringLiteral("cloudflare-workers"),
            QStringLiteral("cloud")};
}

QList<KindBadge> kindBadges(const ProjectInfo* info)
{
    QList<KindBadge> badges;
    if (!info)
        return badges;
    if (info->cms == QStringLiteral("EmDash"))
        badges.append(contentSystemBadge());
    if (info->framework) {
        const QString& framework = *info->framework;
        badges.append(frameworkBadge(framework).value_or(
            KindBadge{framework, framework.toLower(), QStringLiteral("layout-dashboard")}));
    }
    if (info->pagesOutputDir)
        badges.append(pagesBadge());
    return badges;
}

KindBadge primaryBadge(const ProjectInfo* info)
{
    const QList<KindBadge> badges = kindBadges(info);
    return badges.isEmpty() ? workerBadge() : badges.first();
}
