#pragma once

#include "base/project.h"
#include "discovery/project_info.h"

#include <QHash>
#include <QList>
#include <QString>

// The name a project's Worker runs and registers under while its dev server runs, empty when
// the configuration names none. Matching registry entries and service bindings to projects
// goes through this one rule: the chosen Wrangler environment's name when it runs with one
// (see environment_choice.h).
QString registryWorkerName(const Project& project, const ProjectInfo& info);

// Worker name -> the path of the one project that declares it, or an empty path when several
// do: guessing could start or show the wrong project. Projects without a record are left out.
QHash<QString, QString> workerOwners(const QList<Project>& projects, const ProjectInfoMap& infos);
