#pragma once

#include "discovery/folder_cache.h"
#include "discovery/project_info.h"

#include <QString>
#include <QStringList>

#include <optional>

// How many folders every package lookup sees: the project folder and four above it.
inline constexpr int packageLookupLimit = 5;

// The standardized path, then its parent, grandparent and so on, nearest first; never the
// file-system root "/", and at most `limit` entries.
QStringList ancestorFolders(const QString& path, int limit);

// Lockfile names in the order they are tested in each folder, with the manager each means.
struct Lockfile
{
    QString name;
    PackageManager manager;
};
const QList<Lockfile>& lockfiles();

// Each lookup comes in two forms: on its own, and sharing the folders of one inspection.

// The nearest folder with a lockfile decides; within a folder the lockfile order decides.
PackageManager detectPackageManager(const QString& projectFolder);
PackageManager detectPackageManager(FolderCache& files, const QString& projectFolder);
// The nearest folder holding a lockfile, else the script root.
std::optional<QString> findPackageRoot(const QString& projectFolder);
std::optional<QString> findPackageRoot(FolderCache& files, const QString& projectFolder);
// The nearest folder holding a "package.json": where dev scripts run.
std::optional<QString> findScriptRoot(const QString& projectFolder);
std::optional<QString> findScriptRoot(FolderCache& files, const QString& projectFolder);
// The "version" of an installed package in the nearest "node_modules" that has it. A scoped
// name ("@cloudflare/vite-plugin") names a nested folder.
std::optional<QString> installedVersion(const QString& packageName, const QString& projectFolder);
std::optional<QString> installedVersion(FolderCache& files, const QString& packageName,
                                        const QString& projectFolder);
// True when the folder's "package.json" has a "dev" key in its "scripts" object.
bool packageHasDevScript(const QString& folder);
bool packageHasDevScript(FolderCache& files, const QString& folder);
// Something named "node_modules" in the project folder or one of the four above it.
bool nodeModulesPresent(FolderCache& files, const QString& projectFolder);
