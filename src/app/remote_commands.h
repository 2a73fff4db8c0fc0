#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The subcommands that drive the running instance over its control socket: status, start,
// stop, restart, logs and open. Returns the exit code (0 done, 1 the operation failed, 2 usage
// error, 3 no running instance), or nothing when `command` is not one of them.
std::optional<int> runRemoteCommand(const QString& command, const QStringList& arguments);

// Their lines of the usage text.
extern const char* const remoteUsage;
