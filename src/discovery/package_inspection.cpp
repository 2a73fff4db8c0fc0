#include "discovery/package_inspection.h"

#include "core/paths.h"
#include "discovery/file_probe.h"

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
    static const QList<Lockfile> files{{"pnpm-lock.yaml", PackageManager::pnpm},
                                       {"yarn.lock", PackageManager::yarn},
                                       {"bun.lockb", PackageManager::bun},
                                       {"bun.lock", PackageManager::bun},
                                       {"package-lock.json", PackageManager::npm}};
    return files;
}

namespace {

// The first lockfile of the nearest folder that has one, with that folder.
std::optional<std::pair<QString, PackageManager>> nearestLockfile(const QString& projectFolder)
{
    for (const QString& folder : ancestorFolders(projectFolder, packageLookupLimit))
        for (const Lockfile& lockfile : lockfiles())
            if (file_probe::exists(joinPath(folder, QString::fromLatin1(lockfile.name))))
                return std::pair{folder, lockfile.manager};
    return std::nullopt;
}

} // namespace

PackageManager detectPackageManager(const QString& projectFolder)
{
    const auto found = nearestLockfile(projectFolder);
    return found ? found->second : PackageManager::npm;
}

std::optional<QString> findPackageRoot(const QString& projectFolder)
{
    if (const auto found = nearestLockfile(projectFolder))
        return found->first;
    return findScriptRoot(projectFolder);
}

std::optional<QString> findScriptRoot(const QString& projectFolder)
{
    for (const QString& folder : ancestorFolders(projectFolder, packageLookupLimit))
        if (file_probe::exists(joinPath(folder, QStringLiteral("package.json"))))
            return folder;
    return std::nullopt;
}

std::optional<QString> installedVersion(const QString& packageName, const QString& projectFolder)
{
    const QString manifest =
        QStringLiteral("node_modules/") + packageName + QStringLiteral("/package.json");
    for (const QString& folder : ancestorFolders(projectFolder, packageLookupLimit)) {
        const auto object = file_probe::readJsonObject(joinPath(folder, manifest));
        if (!object)
            continue;
        const QJsonValue version = object->value(QLatin1String("version"));
        if (version.isString())
            return version.toString();
    }
    return std::nullopt;
}

bool packageHasDevScript(const QString& folder)
{
    const auto package =
        file_probe::readJsonObject(joinPath(folder, QStringLiteral("package.json")));
    if (!package)
        return false;
    const QJsonValue scripts = package->value(QLatin1String("scripts"));
    return scripts.isObject() && scripts.toObject().contains(QLatin1String("dev"));
}
