#pragma once

#include "base/project.h"
#include "base/run_mode.h"
#include "discovery/project_info.h"

#include <QString>
#include <QStringList>

#include <optional>

// Which Wrangler environment a project runs with, and what the worker is then. The choice is
// stored on the project; it takes effect only when the configuration declares it and the mode
// in force passes environments on.

// Wrangler, the Vite plugin and a package's dev script take an environment; `wrangler pages
// dev` rejects one, and a custom command is the user's own.
bool modeTakesEnvironment(RunModeKind mode);

// The names the configuration declares, by name; none without an inspection record.
QStringList environmentNames(const ProjectInfo* info);
const EnvironmentConfig* findEnvironment(const ProjectInfo* info, const QString& name);

// The environment a run passes and the worker's facts come from: the stored choice, when it is
// declared and the mode in force takes one. None means the top level.
const EnvironmentConfig* activeEnvironment(const Project& project, const ProjectInfo* info);
std::optional<QString> activeEnvironmentName(const Project& project, const ProjectInfo* info);

// A stored choice that the inspected configuration no longer declares: shown, never passed.
bool environmentMissing(const Project& project, const ProjectInfo* info);

// The worker's name as Wrangler runs it, which the dev registry and service bindings use: the
// active environment's name (its own, else "<name>-<environment>"), else the top level's.
// None when the configuration gives none (Wrangler then makes one up) or is not read yet.
std::optional<QString> configuredWorkerName(const Project& project, const ProjectInfo* info);
// The same, falling back to the project's name: the one name to show and to match by.
QString effectiveWorkerName(const Project& project, const ProjectInfo* info);

// The record with the worker's facts (name, entry, compatibility date, bindings, variables)
// replaced by the active environment's; unchanged at the top level.
ProjectInfo infoForActiveEnvironment(const Project& project, const ProjectInfo& info);
