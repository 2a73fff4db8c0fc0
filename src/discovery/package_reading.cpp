#include "discovery/package_reading.h"

#include "base/paths.h"

#include <QJsonObject>

QStringList ancestorFolders(const QString& path, int limit)
{
    QStringList folders;
    QString current = standardizePath(path);
    while (folders.size() < limit && !current.isEmpty() && current != u"/") {
        folders.append(current);
        const qsizetype slash = current.lastIndexOf(u'/');
        if (slash < 0)
            break; // a relative path has no parent to name
        const QString parent = current.left(slash);
        if (parent == current)
            break;
        current = parent;
    }
    return folders;
}

const QList<Lockfile>& lockfiles()
{
    static const QList<Lockfile> files{{QStringLiteral("pnpm-lock.yaml"), PackageManager::pnpm},
                                       {QStringLiteral("yarn.lock"), PackageManager::yarn},
                                       {QStringLiteral("bun.lockb"), PackageManager::bun},
                                       {QStringLiteral("bun.lock"), PackageManager::bun},
                                       {QStringLiteral("package-lock.json"), PackageManager::npm}};
    return files;
}

namespace {

// The first lockfile of the nearest folder that has one, with that folder.
std::optional<std::pair<QString, PackageManager>> nearestLockfile(FolderCache& files,
                                                                  const QString& projectFolder)
{
    for (const QString& folder : ancestorFolders(projectFolder, packageLookupLimit))
        for (const Lockfile& lockfile : lockfiles())
            if (files.exists(folder, lockfile.name))
                return std::pair{folder, lockfile.manager};
    return std::nullopt;
}

} // namespace

PackageManager detectPackageManager(FolderCache& files, const QString& projectFolder)
{
    const auto found = nearestLockfile(files, projectFolder);
    return found ? found->second : PackageManager::npm;
}

std::optional<QString> findPackageRoot(FolderCache& files, const QString& projectFolder)
{
    if (const auto found = nearestLockfile(files, projectFolder))
        return found->first;
    return findScriptRoot(files, projectFolder);
}

std::optional<QString> findScriptRoot(FolderCache& files, const QString& projectFolder)
{
    for (const QString& folder : ancestorFolders(projectFolder, packageLookupLimit))
        if (files.exists(folder, QStringLiteral("package.json")))
            return folder;
    return std::nullopt;
}

std::optional<QString> installedVersion(FolderCache& files, const QString& packageName,
                                        const QString& projectFolder)
{
    const QString manifest =
        QStringLiteral("node_modules/") + packageName + QStringLiteral("/package.json");
    for (const QString& folder : ancestorFolders(projectFolder, packageLookupLimit)) {
        const auto object = files.readJsonObject(folder, manifest);
        if (!object)
            continue;
        const QJsonValue version = object->value(QLatin1String("version"));
        if (version.isString())
            return version.toString();
    }
    return std::nullopt;
}

bool packageHasDevScript(FolderCache& files, const QString& folder)
{
    const auto& package = files.packageJson(folder);
    if (!package)
        return false;
    const QJsonValue scripts = package->value(QLatin1String("scripts"));
    return scripts.isObject() && scripts.toObject().contains(QLatin1String("dev"));
}

bool nodeModulesPresent(FolderCache& files, const QString& projectFolder)
{
    for (const QString& folder : ancestorFolders(projectFolder, packageLookupLimit))
        if (files.exists(folder, QStringLiteral("node_modules")))
            return true;
    return false;
}

PackageManager detectPackageManager(const QString& projectFolder)
{
    FolderCache files;
    return detectPackageManager(files, projectFolder);
}

std::optional<QString> findPackageRoot(const QString& projectFolder)
{
    FolderCache files;
    return findPackageRoot(files, projectFolder);
}

std::optional<QString> findScriptRoot(const QString& projectFolder)
{
    FolderCache files;
    return findScriptRoot(files, projectFolder);
}

std::optional<QString> installedVersion(const QString& packageName, const QString& projectFolder)
{
    FolderCache files;
    return installedVersion(files, packageName, projectFolder);
}

bool packageHasDevScript(const QString& folder)
{
    FolderCache files;
    return packageHasDevScript(files, standardizePath(folder));
}
