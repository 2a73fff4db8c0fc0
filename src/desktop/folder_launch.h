#pragma once

#include "base/shell_quote.h"
#include "desktop/external_app.h"
#include "desktop/workspace.h"

#include <optional>

// How a folder or file is handed to a terminal or editor. Terminals get the folder as their
// working folder and, when the executable is known to take one, as a command-line option;
// editors get the target path as their one argument.

LaunchRequest terminalLaunch(const ExternalApp& terminal, const QString& folder);
LaunchRequest editorLaunch(const ExternalApp& editor, const QString& folder, const QString& target);

// The user's custom editor command, when it is set (not blank): /bin/sh -c with the trimmed
// command, a space and the quoted target, in the given environment.
std::optional<LaunchRequest> customEditorLaunch(const QString& command, const QString& folder,
                                                const QString& target,
                                                const QMap<QString, QString>& environment);
