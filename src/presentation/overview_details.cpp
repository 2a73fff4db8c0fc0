#include "presentation/overview_details.h"

#include "base/product_name.h"
#include "discovery/dev_command.h"
#include "discovery/environment_choice.h"

QString homeAbbreviated(const QString& path, const QString& home)
{
    if (home.isEmpty() || home == QStringLiteral("/"))
        return path;
    if (path == home)
        return QStringLiteral("~");
    if (path.startsWith(home) && path.at(home.size()) == QLatin1Char('/'))
        return QLatin1Char('~') + path.mid(home.size());
    return path;
}

QList<DetailRow> detailRows(const Project& project, const ProjectInfo* info, ServerOrigin origin,
                            const QString& home)
{
    QList<DetailRow> rows;
    const auto add = [&rows](const char* label, const QString& value, bool mono = false) {
        rows.append({QString::fromLatin1(label), value, mono, {}});
    };
    const auto addKnown = [&add](const char* label, const std::optional<QString>& value,
                                 bool mono = false) {
        if (value && !value->isEmpty())
            add(label, *value, mono);
    };

    add("Path", homeAbbreviated(project.path, home), true);
    const ConfigKind kind = info ? info->configKind : configKindForFile(project.configFile);
    add("Config", project.configFile + QStringLiteral(" · ") + rawValue(kind).toUpper());
    if (const QList<KindBadge> badges = kindBadges(info); !badges.isEmpty()) {
        QStringList names;
        for (const KindBadge& badge : badges)
            names.append(badge.name);
        add("Built with", names.join(QStringLiteral(" · ")));
        rows.last().badges = badges;
    }
    if (const EnvironmentConfig* environment = activeEnvironment(project, info)) {
        add("Environment", environment->name);
        // Wrangler's warning: what the top level sets and the environment does not inherit.
        if (!environment->notInherited.isEmpty())
            add("Not inherited", environment->notInherited.join(QStringLiteral(", ")), true);
    } else if (environmentMissing(project, info) &&
               modeTakesEnvironment(effectiveMode(project, info))) {
        add("Environment", *project.environment + QStringLiteral(" (missing: runs the top level)"));
    }
    if (info) {
        const ProjectInfo viewed = infoForActiveEnvironment(project, *info);
        addKnown("Entry", viewed.mainEntry);
        addKnown("Compatibility date", viewed.compatibilityDate);
        addKnown("Pages output", info->pagesOutputDir, true);
    }
    addKnown("Start command", displayCommand(project, info), true);
    if (info) {
        add("Wrangler", info->wranglerVersion.value_or(QStringLiteral("not installed")));
        addKnown("Vite plugin", info->vitePluginVersion);
        add("Package manager", rawValue(info->packageManager));
    }
    if (project.inspectorPort)
        add("Inspector port", QString::number(*project.inspectorPort));
    if (origin != ServerOrigin::here)
        add("Started by",
            QStringLiteral("outside ") + Product::name +
                (origin == ServerOrigin::attached ? QStringLiteral(" (attached)") : QString()));
    return rows;
}

std::optional<InstallHint> installHint(const Project& project, const ProjectInfo* info,
                                       const QString& home)
{
    if (!info || dependenciesReady(project, info))
        return std::nullopt;
    const QString folder = info->packageRoot.value_or(project.path);
    return InstallHint{rawValue(info->packageManager) + QStringLiteral(" install"),
                       homeAbbreviated(folder, home)};
}
