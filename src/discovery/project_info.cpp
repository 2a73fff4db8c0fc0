#include "discovery/project_info.h"

const QList<PackageManager>& allPackageManagers()
{
    static const QList<PackageManager> managers{PackageManager::npm, PackageManager::pnpm,
                                                PackageManager::yarn, PackageManager::bun};
    return managers;
}

QString rawValue(PackageManager manager)
{
    switch (manager) {
    case PackageManager::npm: return QStringLiteral("npm");
    case PackageManager::pnpm: return QStringLiteral("pnpm");
    case PackageManager::yarn: return QStringLiteral("yarn");
    case PackageManager::bun: return QStringLiteral("bun");
    }
    return {};
}

std::optional<PackageManager> packageManagerFromRaw(const QString& raw)
{
    for (PackageManager manager : allPackageManagers())
        if (rawValue(manager) == raw)
            return manager;
    return std::nullopt;
}
