#include "discovery/dev_command.h"

#include "discovery/environment_choice.h"

#include <QRegularExpression>

namespace {

// An environment name as one shell word: bare when it holds nothing the shell reads specially
// (every name in practice), else double-quoted.
QString shellWord(const QString& text)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9._-]+$"));
    return plain.match(text).hasMatch() ? text : shellDoubleQuoted(text);
}

// The ` --env NAME` of the Wrangler mode, or nothing at the top level.
QString environmentFlag(const Project& project, const ProjectInfo* info)
{
    const std::optional<QString> name = activeEnvironmentName(project, info);
    return name ? QStringLiteral(" --env ") + shellWord(*name) : QString();
}

// The `CLOUDFLARE_ENV=NAME ` prefix of the Vite plugin and dev-script modes, or nothing.
QString environmentPrefix(const Project& project, const ProjectInfo* info)
{
    const std::optional<QString> name = activeEnvironmentName(project, info);
    return name ? QStringLiteral("CLOUDFLARE_ENV=") + shellWord(*name) + u' ' : QString();
}

QString trimmedCustomCommand(const Project& project)
{
    // QString::trimmed removes spaces, tabs and line breaks at both ends.
    return project.customCommand.value_or(QString()).trimmed();
}

PackageManager packageManagerOf(const ProjectInfo* info)
{
    return info ? info->packageManager : PackageManager::npm;
}

} // namespace

RunModeKind effectiveMode(const Project& project, const ProjectInfo* info)
{
    if (project.runModeOverride)
        return *project.runModeOverride;
    return info ? info->detectedMode : RunModeKind::wrangler;
}

bool dependenciesReady(const Project& project, const ProjectInfo* info)
{
    if (!info)
        return false;
    switch (effectiveMode(project, info)) {
    case RunModeKind::wrangler:
    case RunModeKind::pages: return info->depsInstalled;
    case RunModeKind::vite:
    case RunModeKind::devScript: return info->nodeModulesPresent;
    case RunModeKind::custom: return true;
    }
    return false;
}

QString wranglerInvocation(PackageManager manager)
{
    switch (manager) {
    case PackageManager::npm: return QStringLiteral("npx wrangler");
    case PackageManager::pnpm: return QStringLiteral("pnpm exec wrangler");
    case PackageManager::yarn: return QStringLiteral("yarn wrangler");
    case PackageManager::bun: return QStringLiteral("bunx wrangler");
    }
    return QStringLiteral("npx wrangler");
}

QString devScriptCommand(std::optional<int> port, PackageManager manager)
{
    QString base;
    QString portFlag = QStringLiteral(" --port ");
    switch (manager) {
    case PackageManager::npm:
        base = QStringLiteral("npm run dev");
        // npm needs the separator to pass the flag through to the script.
        portFlag = QStringLiteral(" -- --port ");
        break;
    case PackageManager::pnpm: base = QStringLiteral("pnpm run dev"); break;
    case PackageManager::yarn: base = QStringLiteral("yarn dev"); break;
    case PackageManager::bun: base = QStringLiteral("bun run dev"); break;
    }
    if (!port)
        return base;
    return base + portFlag + QString::number(*port);
}

QString installCommand(const QString& packageName, PackageManager manager)
{
    const QString target = packageName + QStringLiteral("@latest");
    switch (manager) {
    case PackageManager::npm: return QStringLiteral("npm install -D ") + target;
    case PackageManager::pnpm: return QStringLiteral("pnpm add -D ") + target;
    case PackageManager::yarn: return QStringLiteral("yarn add -D ") + target;
    case PackageManager::bun: return QStringLiteral("bun add -d ") + target;
    }
    return QStringLiteral("npm install -D ") + target;
}

StartCommandResult startCommand(const Project& project, const ProjectInfo* info,
                                std::optional<int> explicitPort, const PortChoice& choosePorts)
{
    const RunModeKind mode = effectiveMode(project, info);
    if (mode == RunModeKind::custom) {
        const QString command = trimmedCustomCommand(project);
        if (command.isEmpty())
            return StartRefusal{QStringLiteral("No custom command set (see the Settings tab)")};
        return StartCommand{command, project.path, std::nullopt, std::nullopt};
    }
    if (!dependenciesReady(project, info))
        return StartRefusal{QStringLiteral("Dependencies not installed")};
    // dependenciesReady is false without a record, so `info` is set from here on.
    if (mode == RunModeKind::devScript && !info->hasDevScript)
        return StartRefusal{QStringLiteral("No \"dev\" script in package.json")};
    const bool clearsCloudflareEnv = modeTakesEnvironment(mode) && !info->environments.isEmpty() &&
                                     !activeEnvironment(project, info);

    if (mode == RunModeKind::wrangler || mode == RunModeKind::pages) {
        const auto [port, inspectorPort] = choosePorts(explicitPort);
        QString command = wranglerInvocation(info->packageManager);
        if (mode == RunModeKind::pages) {
            // The output folder comes from a configuration file: quoted so that it can never
            // be read by the shell as anything but one folder name.
            command += QStringLiteral(" pages dev ") +
                       shellDoubleQuoted(info->pagesOutputDir.value_or(QStringLiteral("dist")));
        } else {
            command += QStringLiteral(" dev") + environmentFlag(project, info);
        }
        command += QStringLiteral(" --port ") + QString::number(port) +
                   QStringLiteral(" --inspector-port ") + QString::number(inspectorPort);
        return StartCommand{command, project.path, port, inspectorPort, clearsCloudflareEnv};
    }

    // vite and devScript: the script picks its own port unless the request names one; the
    // address is read from its output.
    return StartCommand{
        environmentPrefix(project, info) + devScriptCommand(explicitPort, info->packageManager),
        info->scriptRoot.value_or(project.path), std::nullopt, std::nullopt, clearsCloudflareEnv};
}

std::optional<QString> displayCommand(const Project& project, const ProjectInfo* info)
{
    const PackageManager manager = packageManagerOf(info);
    switch (effectiveMode(project, info)) {
    case RunModeKind::wrangler:
        return wranglerInvocation(manager) + QStringLiteral(" dev") +
               environmentFlag(project, info);
    case RunModeKind::pages: return wranglerInvocation(manager) + QStringLiteral(" pages dev");
    case RunModeKind::vite:
    case RunModeKind::devScript:
        return environmentPrefix(project, info) + devScriptCommand(std::nullopt, manager);
    case RunModeKind::custom: {
        const QString command = trimmedCustomCommand(project);
        if (command.isEmpty())
            return std::nullopt;
        return command;
    }
    }
    return std::nullopt;
}
