#include "app/command_line.h"

#include "app/cli_commands.h"
#include "app/remote_commands.h"

#include <QFile>
#include <QStringList>

#include <cstdio>

namespace {

constexpr const char* usage = "Usage:\n"
                              "  tallowmere inspect PATH...   inspect project folders, print JSON\n"
                              "  tallowmere scan ROOT         list configuration files under a "
                              "root, print JSON\n";

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
    if (const std::optional<int> code = runRemoteCommand(command, arguments))
        return code;
    if (command == u"help" || command == u"--help" || command == u"-h") {
        printUsage(stdout);
        return 0;
    }
    return std::nullopt; // anything else is for the application itself
}
