#pragma once

#include <QStringList>

// The display-free subcommands. Each prints its JSON result on standard output and returns
// the exit code.

// One entry per path: the folder, the configuration file found in it and its inspection
// record; an "error" instead when the path is not a readable folder.
int runInspect(const QStringList& paths);
// The configuration files found under one root.
int runScan(const QString& root);
