#pragma once

#include "base/project.h"
#include "base/run_mode.h"
#include "base/shell_quote.h"
#include "discovery/project_info.h"

#include <QString>

#include <functional>
#include <optional>
#include <utility>
#include <variant>

// How a project's dev server is started: the mode in force, the dependency check, and the
// exact command line and working folder of each mode for each package manager. Nothing here
// runs a process.

// The user's override, else the detected mode, else (not inspected yet) plain Wrangler.
RunModeKind effectiveMode(const Project& project, const ProjectInfo* info);

// Whether what the mode in force needs is installed; false without an inspection record.
bool dependenciesReady(const Project& project, const ProjectInfo* info);

QString wranglerInvocation(PackageManager manager);
QString devScriptCommand(std::optional<int> port, PackageManager manager);
QString installCommand(const QString& packageName, PackageManager manager);

// A start that may go ahead: the command for `/bin/sh -c`, where it runs, and in the Wrangler
// modes the ports it was given.
struct StartCommand
{
    QString commandLine;
    QString workingFolder;
    std::optional<int> port;
    std::optional<int> inspectorPort;
    // CLOUDFLARE_ENV is removed from the child's environment: the configuration declares
    // environments and the top level is chosen, which a value inherited from the login shell
    // would otherwise override.
    bool clearCloudflareEnv = false;

    friend bool operator==(const StartCommand&, const StartCommand&) = default;
};

// A start that must not go ahead, with the message shown as the project's error.
struct StartRefusal
{
    QString message;

    friend bool operator==(const StartRefusal&, const StartRefusal&) = default;
};

using StartCommandResult = std::variant<StartCommand, StartRefusal>;

// Chooses the server and inspector ports of a Wrangler-mode start (from the start request's
// explicit port and the ports saved on the projects), stores them on the project and saves
// the registry. Called only once every refusal has been ruled out.
using PortChoice = std::function<std::pair<int, int>(std::optional<int> explicitPort)>;

// The command of a start request, or the first refusal that applies, in this order: a blank
// custom command; missing dependencies; devScript mode without a "dev" script. The active
// environment (see environment_choice.h) is ` --env NAME` in the Wrangler mode and a
// `CLOUDFLARE_ENV=NAME ` prefix for the Vite plugin and the dev script.
StartCommandResult startCommand(const Project& project, const ProjectInfo* info,
                                std::optional<int> explicitPort, const PortChoice& choosePorts);

// The short command shown in the overview: no ports or folders, the environment as it runs;
// none for a blank custom command.
std::optional<QString> displayCommand(const Project& project, const ProjectInfo* info);
