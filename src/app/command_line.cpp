#include "app/command_line.h"

#include "app/cli_commands.h"
#include "app/mcp_server.h"
#include "app/remote_commands.h"

#include <QFile>
#include <QStringList>

#include <cstdio>

namespace {

#ifndef TALLOWMERE_VERSION
#define TALLOWMERE_VERSION "0.0.0"
#endif

constexpr const char* usage =
    "Usage:\n"
    "  tallowmere [--autostart]     open the main window (--autostart: stay in the tray)\n"
    "  tallowmere inspect PATH...   inspect project folders, print JSON\n"
    "  tallowmere scan ROOT         list configuration files under a root, print JSON\n"
    "  tallowmere mcp               serve coding agents over MCP (stdio)\n"
    "  tallowmere --version         print the version\n"
    "  tallowmere --help            print this help\n";

// Qt's own command-line options that take a value; QApplication reads and removes them.
const QStringList qtOptionsWithValue = {
    QStringLiteral("-platform"),        QStringLiteral("-platformpluginpath"),
    QStringLiteral("-platformtheme"),   QStringLiteral("-plugin"),
    QStringLiteral("-qwindowgeometry"), QStringLiteral("-qwindowicon"),
    QStringLiteral("-qwindowtitle"),    QStringLiteral("-display"),
    QStringLiteral("-style"),           QStringLiteral("-stylesheet"),
    QStringLiteral("-session")};
const QStringList qtFlags = {QStringLiteral("-reverse"), QStringLiteral("-widgetcount"),
                             QStringLiteral("-nograb"), QStringLiteral("-dograb"),
                             QStringLiteral("-sync")};

void printUsage(std::FILE* stream)
{
    std::fputs(usage, stream);
    std::fputs(remoteUsage, stream);
}

int usageError(const char* problem)
{
    std::fprintf(stderr, "tallowmere: %s\n", problem);
    printUsage(stderr);
    return 2;
}

} // namespace

std::optional<int> runCommandLine(int argc, char** argv)
{
    if (argc < 2)
        return std::nullopt;
    const QString command = QFile::decodeName(argv[1]);
    QStringList arguments;
    for (int i = 2; i < argc; ++i)
        arguments.append(QFile::decodeName(argv[i]));

    if (command == u"inspect") {
        if (arguments.isEmpty())
            return usageError("inspect needs at least one PATH");
        return runInspect(arguments);
    }
    if (command == u"scan") {
        if (arguments.size() != 1)
            return usageError("scan needs exactly one ROOT");
        return runScan(arguments.first());
    }
    if (command == u"mcp")
        return runMcpServer(arguments);
    if (const std::optional<int> code = runRemoteCommand(command, arguments))
        return code;
    if (command == u"help" || command == u"--help" || command == u"-h") {
        printUsage(stdout);
        return 0;
    }
    if (command == u"--version" || command == u"version") {
        std::puts("tallowmere " TALLOWMERE_VERSION);
        return 0;
    }
    return checkApplicationArguments(argc, argv);
}

std::optional<int> checkApplicationArguments(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QString argument = QFile::decodeName(argv[i]);
        if (argument == u"--autostart" || qtFlags.contains(argument))
            continue;
        if (qtOptionsWithValue.contains(argument)) {
            ++i;
            continue;
        }
        const QByteArray shown = argument.toLocal8Bit();
        std::fprintf(stderr, "tallowmere: unknown %s '%s' (see tallowmere --help)\n",
                     argument.startsWith(u'-') ? "option" : "command", shown.constData());
        return 2;
    }
    return std::nullopt;
}

bool displayAvailable(const QMap<QString, QString>& environment)
{
    const auto set = [&environment](const char* name) {
        return !environment.value(QLatin1String(name)).isEmpty();
    };
    if (set("DISPLAY") || set("WAYLAND_DISPLAY"))
        return true;
    // A platform that needs no display server (offscreen, vnc, ...) chosen by hand.
    const QString platform = environment.value(QStringLiteral("QT_QPA_PLATFORM"));
    return !platform.isEmpty() && !platform.startsWith(u"xcb") && !platform.startsWith(u"wayland");
}
