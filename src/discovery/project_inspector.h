#pragma once

#include "core/project.h"
#include "discovery/project_info.h"

#include <QString>

// Inspects one project: its configuration and the package around it. Reads only the
// project's `path` and `configFile`, only reads files, and never fails: a configuration that
// cannot be read or parsed is reported in `parseError`. Blocking; call it off the main thread.
ProjectInfo inspectProject(const Project& project);

// The text of `parseError`: "Couldn't parse <file>: <description>".
QString parseErrorText(const QString& configFile, const QString& description);
