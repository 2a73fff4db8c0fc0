#include "app/command_line.h"

std::optional<int> runCommandLine(int /*argc*/, char** /*argv*/)
{
    return std::nullopt;
}
