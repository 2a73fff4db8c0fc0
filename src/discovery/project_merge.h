#pragma once

#include "base/project.h"
#include "discovery/project_info.h"
#include "discovery/scan_roots.h"

#include <QList>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

// Pure merges of discovery results into the project list and the inspection records. The
// model applies them on the main thread and then publishes, saves and fixes run states.

struct ScanMerge
{
    QList<Project> projects;
    ProjectInfoMap infos;
    QStringList removedPaths; // projects of scanned roots that were not found again
    QStringList heldPaths;    // projects not found again that were kept all the same
};

// New projects are appended; known ones take the found configuration file and the worker
// name (or the folder name); projects of scanned roots that were not found are removed.
// Projects added by hand and projects of roots outside the scan are kept. Records of paths
// that no longer belong to a project are dropped. Projects named in `held` are kept with their
// records even when not found again (a server still runs for them).
ScanMerge mergeScan(const QList<Project>& projects, const ProjectInfoMap& infos,
                    const QList<RootScanResult>& results, const QSet<QString>& held = {});

// Stores inspection records of known projects (records of unknown paths are skipped) and
// adopts worker names. Returns true when a project's name changed.
bool applyInfoResults(QList<Project>& projects, ProjectInfoMap& infos,
                      const QList<QPair<QString, ProjectInfo>>& results);

// What registering one folder by hand does to the project list.
struct AddProjectPlan
{
    std::optional<QString> refusal; // the message to show; nothing changes
    QString path;                   // the standardized folder
    bool alreadyRegistered = false; // then it was only made visible
};
inline const QString noConfigMessage =
    QStringLiteral("No wrangler.toml, wrangler.json or wrangler.jsonc found in that folder.");
// Looks for a configuration in the folder and, when there is one, makes a registered project
// visible or appends a new one (named after its folder, without a root).
AddProjectPlan addProjectFolder(QList<Project>& projects, const QString& folder);
