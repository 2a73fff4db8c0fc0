#pragma once

#include "base/project.h"
#include "discovery/project_info.h"

#include <QList>
#include <QPair>
#include <QString>

// Inspects one project: its configuration and the package around it. Reads only the
// project's `path` and `configFile`, only reads files, and never fails: a configuration that
// cannot be read or parsed is reported in `parseError`. Blocking; call it off the main thread.
ProjectInfo inspectProject(const Project& project);

// Inspects each project in list order, paired with its path: the background half of
// refreshing one project or all of them.
QList<QPair<QString, ProjectInfo>> inspectProjects(const QList<Project>& projects);

// The text of `parseError`: "Couldn't parse <file>: <description>".
QString parseErrorText(const QString& configFile, const QString& description);
