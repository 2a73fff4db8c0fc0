#include "discovery/dev_command.h"
#include "discovery/environment_choice.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

Project projectAt(const QString& path)
{
    Project project;
    project.path = path;
    project.configFile = QStringLiteral("wrangler.toml");
    project.name = QStringLiteral("api");
    return project;
}

ProjectInfo installedInfo(RunModeKind detected, PackageManager manager)
{
    ProjectInfo info;
    info.detectedMode = detected;
    info.packageManager = manager;
    info.depsInstalled = true;
    info.nodeModulesPresent = true;
    info.hasDevScript = true;
    return info;
}

// A port chooser that records whether it was asked and hands out fixed ports.
struct FixedPorts
{
    int calls = 0;
    std::optional<int> lastExplicit;
    PortChoice choice()
    {
        return [this](std::optional<int> explicitPort) {
            ++calls;
            lastExplicit = explicitPort;
            return std::pair{explicitPort.value_or(8787), 9230};
        };
    }
};

QString commandOf(const StartCommandResult& result)
{
    if (const auto* command = std::get_if<StartCommand>(&result))
        return command->commandLine;
    return QStringLiteral("refused: ") + std::get<StartRefusal>(result).message;
}

const QList<PackageManager> allManagers{PackageManager::npm, PackageManager::pnpm,
                                        PackageManager::yarn, PackageManager::bun};

} // namespace

TEST(DevCommandTables, InvocationsDevScriptsAndInstallHintsPerPackageManager)
{
    const QStringList invocations{"npx wrangler", "pnpm exec wrangler", "yarn wrangler",
                                  "bunx wrangler"};
    const QStringList plain{"npm run dev", "pnpm run dev", "yarn dev", "bun run dev"};
    const QStringList withPort{"npm run dev -- --port 3000", "pnpm run dev --port 3000",
                               "yarn dev --port 3000", "bun run dev --port 3000"};
    const QStringList installs{"npm install -D wrangler@latest", "pnpm add -D wrangler@latest",
                               "yarn add -D wrangler@latest", "bun add -d wrangler@latest"};
    for (int i = 0; i < allManagers.size(); ++i) {
        EXPECT_EQ(wranglerInvocation(allManagers[i]), invocations[i]);
        EXPECT_EQ(devScriptCommand(std::nullopt, allManagers[i]), plain[i]);
        EXPECT_EQ(devScriptCommand(3000, allManagers[i]), withPort[i]);
        EXPECT_EQ(installCommand(QStringLiteral("wrangler"), allManagers[i]), installs[i]);
    }
    EXPECT_EQ(installCommand(QStringLiteral("@cloudflare/vite-plugin"), PackageManager::pnpm),
              QStringLiteral("pnpm add -D @cloudflare/vite-plugin@latest"));
}

TEST(DevCommandMode, OverrideWinsThenDetectionThenWrangler)
{
    Project project = projectAt(QStringLiteral("/sites/api"));
    const ProjectInfo info = installedInfo(RunModeKind::vite, PackageManager::npm);
    EXPECT_EQ(effectiveMode(project, nullptr), RunModeKind::wrangler);
    EXPECT_EQ(effectiveMode(project, &info), RunModeKind::vite);
    project.runModeOverride = RunModeKind::pages;
    EXPECT_EQ(effectiveMode(project, &info), RunModeKind::pages);
    EXPECT_EQ(effectiveMode(project, nullptr), RunModeKind::pages);
}

TEST(DevCommandMode, DependenciesDependOnTheModeInForce)
{
    Project project = projectAt(QStringLiteral("/sites/api"));
    EXPECT_FALSE(dependenciesReady(project, nullptr));
    project.runModeOverride = RunModeKind::custom;
    EXPECT_FALSE(dependenciesReady(project, nullptr)) << "no record means not ready";

    ProjectInfo info; // node_modules without Wrangler in it
    info.nodeModulesPresent = true;
    info.depsInstalled = false;
    EXPECT_TRUE(dependenciesReady(project, &info));
    for (RunModeKind mode : {RunModeKind::wrangler, RunModeKind::pages}) {
        project.runModeOverride = mode;
        EXPECT_FALSE(dependenciesReady(project, &info)) << qPrintable(rawValue(mode));
    }
    for (RunModeKind mode : {RunModeKind::vite, RunModeKind::devScript}) {
        project.runModeOverride = mode;
        EXPECT_TRUE(dependenciesReady(project, &info)) << qPrintable(rawValue(mode));
    }
    info.nodeModulesPresent = false;
    EXPECT_FALSE(dependenciesReady(project, &info));
}

TEST(DevCommandStart, EveryModeForEveryPackageManager)
{
    const QStringList wrangler{"npx wrangler dev --port 8787 --inspector-port 9230",
                               "pnpm exec wrangler dev --port 8787 --inspector-port 9230",
                               "yarn wrangler dev --port 8787 --inspector-port 9230",
                               "bunx wrangler dev --port 8787 --inspector-port 9230"};
    const QStringList pages{
        "npx wrangler pages dev \"public\" --port 8787 --inspector-port 9230",
        "pnpm exec wrangler pages dev \"public\" --port 8787 --inspector-port 9230",
        "yarn wrangler pages dev \"public\" --port 8787 --inspector-port 9230",
        "bunx wrangler pages dev \"public\" --port 8787 --inspector-port 9230"};
    const QStringList scripts{"npm run dev", "pnpm run dev", "yarn dev", "bun run dev"};
    const QString folder = QStringLiteral("/sites/shop/apps/api");

    for (int i = 0; i < allManagers.size(); ++i) {
        ProjectInfo info = installedInfo(RunModeKind::wrangler, allManagers[i]);
        info.pagesOutputDir = QStringLiteral("public");
        info.scriptRoot = QStringLiteral("/sites/shop/apps");
        Project project = projectAt(folder);
        FixedPorts ports;

        const auto plain = startCommand(project, &info, std::nullopt, ports.choice());
        EXPECT_EQ(commandOf(plain), wrangler[i]);
        EXPECT_EQ(std::get<StartCommand>(plain).workingFolder, folder);
        EXPECT_EQ(std::get<StartCommand>(plain).port, 8787);
        EXPECT_EQ(std::get<StartCommand>(plain).inspectorPort, 9230);

        project.runModeOverride = RunModeKind::pages;
        EXPECT_EQ(commandOf(startCommand(project, &info, std::nullopt, ports.choice())), pages[i]);
        EXPECT_EQ(ports.calls, 2);

        for (RunModeKind mode : {RunModeKind::vite, RunModeKind::devScript}) {
            project.runModeOverride = mode;
            const auto script = startCommand(project, &info, std::nullopt, ports.choice());
            EXPECT_EQ(commandOf(script), scripts[i]);
            EXPECT_EQ(std::get<StartCommand>(script).workingFolder,
                      QStringLiteral("/sites/shop/apps"));
            EXPECT_FALSE(std::get<StartCommand>(script).port.has_value());
        }
        EXPECT_EQ(ports.calls, 2) << "dev scripts choose their own ports";

        project.runModeOverride = RunModeKind::custom;
        project.customCommand = QStringLiteral("  make serve \n");
        const auto custom = startCommand(project, &info, std::nullopt, ports.choice());
        EXPECT_EQ(commandOf(custom), QStringLiteral("make serve"));
        EXPECT_EQ(std::get<StartCommand>(custom).workingFolder, folder);
    }
}

TEST(DevCommandStart, ExplicitPortReachesPortChoiceAndDevScript)
{
    Project project = projectAt(QStringLiteral("/sites/api"));
    ProjectInfo info = installedInfo(RunModeKind::wrangler, PackageManager::npm);
    FixedPorts ports;
    EXPECT_EQ(commandOf(startCommand(project, &info, 8790, ports.choice())),
              QStringLiteral("npx wrangler dev --port 8790 --inspector-port 9230"));
    EXPECT_EQ(ports.lastExplicit, 8790);

    info.detectedMode = RunModeKind::devScript;
    EXPECT_EQ(commandOf(startCommand(project, &info, 8790, ports.choice())),
              QStringLiteral("npm run dev -- --port 8790"));
    // Without a script root the project folder is the working folder.
    EXPECT_EQ(
        std::get<StartCommand>(startCommand(project, &info, 8790, ports.choice())).workingFolder,
        QStringLiteral("/sites/api"));
}

TEST(DevCommandStart, RefusalsComeInOrderAndChooseNoPorts)
{
    Project project = projectAt(QStringLiteral("/sites/api"));
    ProjectInfo missing; // nothing installed, no dev script
    FixedPorts ports;

    // A blank custom command is refused before the (missing) dependencies are looked at.
    project.runModeOverride = RunModeKind::custom;
    project.customCommand = QStringLiteral(" \n\t ");
    EXPECT_EQ(commandOf(startCommand(project, &missing, std::nullopt, ports.choice())),
              QStringLiteral("refused: No custom command set (see the Settings tab)"));
    project.customCommand.reset();
    EXPECT_EQ(commandOf(startCommand(project, &missing, std::nullopt, ports.choice())),
              QStringLiteral("refused: No custom command set (see the Settings tab)"));

    project.runModeOverride = RunModeKind::devScript;
    EXPECT_EQ(commandOf(startCommand(project, &missing, std::nullopt, ports.choice())),
              QStringLiteral("refused: Dependencies not installed"));
    project.runModeOverride.reset();
    EXPECT_EQ(commandOf(startCommand(project, nullptr, std::nullopt, ports.choice())),
              QStringLiteral("refused: Dependencies not installed"));

    // node_modules is enough for the script modes; only devScript needs the script itself.
    missing.nodeModulesPresent = true;
    project.runModeOverride = RunModeKind::devScript;
    EXPECT_EQ(commandOf(startCommand(project, &missing, std::nullopt, ports.choice())),
              QStringLiteral("refused: No \"dev\" script in package.json"));
    project.runModeOverride = RunModeKind::vite;
    EXPECT_EQ(commandOf(startCommand(project, &missing, std::nullopt, ports.choice())),
              QStringLiteral("npm run dev"));
    EXPECT_EQ(ports.calls, 0);
}

TEST(DevCommandStart, PagesOverrideWithoutOutputFolderServesDist)
{
    Project project = projectAt(QStringLiteral("/sites/site"));
    project.runModeOverride = RunModeKind::pages;
    const ProjectInfo info = installedInfo(RunModeKind::wrangler, PackageManager::yarn);
    FixedPorts ports;
    EXPECT_EQ(commandOf(startCommand(project, &info, std::nullopt, ports.choice())),
              QStringLiteral("yarn wrangler pages dev \"dist\" --port 8787 --inspector-port 9230"));
}

TEST(DevCommandDisplay, ShortCommandsWithoutPorts)
{
    Project project = projectAt(QStringLiteral("/sites/api"));
    EXPECT_EQ(displayCommand(project, nullptr), QStringLiteral("npx wrangler dev"));
    ProjectInfo info = installedInfo(RunModeKind::pages, PackageManager::yarn);
    EXPECT_EQ(displayCommand(project, &info), QStringLiteral("yarn wrangler pages dev"));
    info.detectedMode = RunModeKind::vite;
    EXPECT_EQ(displayCommand(project, &info), QStringLiteral("yarn dev"));
    project.runModeOverride = RunModeKind::custom;
    EXPECT_EQ(displayCommand(project, &info), std::nullopt);
    project.customCommand = QStringLiteral("   ");
    EXPECT_EQ(displayCommand(project, &info), std::nullopt);
    project.customCommand = QStringLiteral(" just dev ");
    EXPECT_EQ(displayCommand(project, &info), QStringLiteral("just dev"));
}

TEST(DevCommandEnvironment, AChosenEnvironmentRunsAndShowsInEveryModeThatTakesOne)
{
    Project project = projectAt(QStringLiteral("/sites/api"));
    ProjectInfo info = installedInfo(RunModeKind::wrangler, PackageManager::npm);
    info.workerName = QStringLiteral("api");
    EnvironmentConfig staging;
    staging.name = QStringLiteral("staging");
    staging.workerName = QStringLiteral("api-staging");
    EnvironmentConfig odd;
    odd.name = QStringLiteral("qa $(touch x)"); // any text a configuration may hold
    info.environments = {odd, staging};
    FixedPorts ports;
    const auto start = [&] {
        return std::get<StartCommand>(startCommand(project, &info, std::nullopt, ports.choice()));
    };

    // The top level of a configuration with environments: no flag, and an inherited
    // CLOUDFLARE_ENV may not pick one behind the user's back.
    EXPECT_EQ(start().commandLine,
              QStringLiteral("npx wrangler dev --port 8787 --inspector-port 9230"));
    EXPECT_TRUE(start().clearCloudflareEnv);
    EXPECT_EQ(effectiveWorkerName(project, &info), QStringLiteral("api"));

    project.environment = QStringLiteral("staging");
    EXPECT_EQ(start().commandLine,
              QStringLiteral("npx wrangler dev --env staging --port 8787 --inspector-port 9230"));
    EXPECT_FALSE(start().clearCloudflareEnv);
    EXPECT_EQ(displayCommand(project, &info), QStringLiteral("npx wrangler dev --env staging"));
    EXPECT_EQ(effectiveWorkerName(project, &info), QStringLiteral("api-staging"));
    EXPECT_FALSE(environmentMissing(project, &info));

    for (RunModeKind mode : {RunModeKind::vite, RunModeKind::devScript}) {
        project.runModeOverride = mode;
        EXPECT_EQ(start().commandLine, QStringLiteral("CLOUDFLARE_ENV=staging npm run dev"));
        EXPECT_EQ(displayCommand(project, &info), start().commandLine);
        EXPECT_EQ(effectiveWorkerName(project, &info), QStringLiteral("api-staging"));
    }

    // `wrangler pages dev` rejects --env, and a custom command is the user's own: the choice
    // stays stored but is not passed, and the worker is the top level's.
    project.runModeOverride = RunModeKind::pages;
    EXPECT_EQ(displayCommand(project, &info), QStringLiteral("npx wrangler pages dev"));
    EXPECT_FALSE(start().commandLine.contains(QStringLiteral("--env")));
    EXPECT_FALSE(start().clearCloudflareEnv);
    EXPECT_EQ(effectiveWorkerName(project, &info), QStringLiteral("api"));
    project.runModeOverride = RunModeKind::custom;
    project.customCommand = QStringLiteral("make serve");
    EXPECT_EQ(start().commandLine, QStringLiteral("make serve"));
    EXPECT_FALSE(start().clearCloudflareEnv);

    // A name with shell syntax in it arrives as one word.
    project.runModeOverride.reset();
    project.environment = odd.name;
    EXPECT_EQ(displayCommand(project, &info),
              QStringLiteral("npx wrangler dev --env \"qa \\$(touch x)\""));

    // A stored name the configuration no longer declares is missing and never passed.
    project.environment = QStringLiteral("preview");
    EXPECT_TRUE(environmentMissing(project, &info));
    EXPECT_EQ(displayCommand(project, &info), QStringLiteral("npx wrangler dev"));
    EXPECT_TRUE(start().clearCloudflareEnv);
    EXPECT_EQ(effectiveWorkerName(project, &info), QStringLiteral("api"));
    // Not yet inspected: nothing is known to be missing, and nothing is passed.
    EXPECT_FALSE(environmentMissing(project, nullptr));
    EXPECT_EQ(displayCommand(project, nullptr), QStringLiteral("npx wrangler dev"));

    // A configuration without environments leaves CLOUDFLARE_ENV alone.
    info.environments.clear();
    project.environment.reset();
    EXPECT_FALSE(start().clearCloudflareEnv);
}

// The Pages output folder comes from a configuration file that anyone may have written. The
// command runs through /bin/sh: a stand-in "npx" records the arguments it receives, and a
// hostile folder name must arrive as one literal argument without running anything.
TEST(DevCommandShell, OutputFolderIsOneLiteralWordForTheShell)
{
    TempFolder temp;
    const QString argsFile = temp.filePath(QStringLiteral("args.txt"));
    temp.writeScript(QStringLiteral("bin/npx"),
                     "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > \"$ARGS_FILE\"\n");
    const QString marker = temp.filePath(QStringLiteral("pwned"));

    const QStringList folders{
        QStringLiteral("dist"),
        QStringLiteral("build output/public"),
        QStringLiteral("$(touch ") + marker + u')',
        QStringLiteral("`touch ") + marker + u'`',
        QStringLiteral("x\"; touch ") + marker + QStringLiteral("; echo \""),
        QStringLiteral("x\\\"; touch ") + marker + QStringLiteral("; echo \\\""),
        QStringLiteral("$HOME ${PATH} \\ trailing\\"),
        QStringLiteral("new\nline 'single' * ?"),
    };
    for (const QString& folder : folders) {
        ProjectInfo info = installedInfo(RunModeKind::pages, PackageManager::npm);
        info.pagesOutputDir = folder;
        FixedPorts ports;
        const auto result =
            startCommand(projectAt(temp.path()), &info, std::nullopt, ports.choice());
        const StartCommand& command = std::get<StartCommand>(result);
        if (folder == QStringLiteral("dist")) {
            EXPECT_EQ(command.commandLine,
                      QStringLiteral("npx wrangler pages dev \"dist\" --port 8787 "
                                     "--inspector-port 9230"));
        }

        QFile::remove(argsFile);
        QProcess shell;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PATH"),
                           temp.filePath(QStringLiteral("bin")) + QStringLiteral(":/usr/bin:/bin"));
        environment.insert(QStringLiteral("ARGS_FILE"), argsFile);
        shell.setProcessEnvironment(environment);
        shell.setWorkingDirectory(command.workingFolder);
        shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command.commandLine});
        ASSERT_TRUE(shell.waitForFinished(10000));

        EXPECT_FALSE(QFile::exists(marker)) << qPrintable(folder);
        const QStringList received = QString::fromUtf8(readWholeFile(argsFile)).split(QChar(0));
        const QStringList expected{QStringLiteral("wrangler"),
                                   QStringLiteral("pages"),
                                   QStringLiteral("dev"),
                                   folder,
                                   QStringLiteral("--port"),
                                   QStringLiteral("8787"),
                                   QStringLiteral("--inspector-port"),
                                   QStringLiteral("9230"),
                                   QString()};
        EXPECT_EQ(received.join(u'|'), expected.join(u'|')) << qPrintable(folder);
    }
}
