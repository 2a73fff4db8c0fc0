#pragma once

#include <optional>

// Runs a display-free subcommand ("inspect", "scan") when argv names one.
// Returns the exit code, or nothing when the arguments ask for the application itself.
std::optional<int> runCommandLine(int argc, char** argv);
