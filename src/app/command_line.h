#pragma once

#include <QMap>
#include <QString>

#include <optional>

// Runs a display-free subcommand ("inspect", "scan", --version, --help) when argv names one.
// Returns the exit code, or nothing when the arguments ask for the application itself.
std::optional<int> runCommandLine(int argc, char** argv);

// The application's own arguments: --autostart and Qt's options pass (nothing is returned);
// anything else is reported on standard error in one line and gives exit code 2.
std::optional<int> checkApplicationArguments(int argc, char** argv);

// Whether a window can be opened at all: an X or Wayland display, or a platform chosen in
// QT_QPA_PLATFORM that needs none (offscreen).
bool displayAvailable(const QMap<QString, QString>& environment);
