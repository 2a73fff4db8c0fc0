#pragma once

#include <QString>

// An npm package for the tests that run one, installed into a cache folder outside the
// repository and reused by later runs: $XDG_CACHE_HOME (else ~/.cache) / tallowmere-tests /
// <folder name>. Safe when several test processes ask at once: one installs, the others wait.
namespace NpmInstall {

struct Result
{
    // The folder whose node_modules holds the package; empty on failure.
    QString folder;
    // Why there is none: npm missing, the registry unreachable, ... (for GTEST_SKIP).
    QString failure;

    bool ok() const { return !folder.isEmpty(); }
    QString nodeModules() const { return folder + QStringLiteral("/node_modules"); }
};

// The cache folder of `folderName` (it may not exist yet).
QString cacheFolder(const QString& folderName);

// Returns the installed `package@version` in the cache folder `folderName`, installing it
// first when the cache holds none; `requiredFile` (relative to node_modules) must exist too.
// Blocks, up to ten minutes for the download.
Result ensureInstalled(const QString& package, const QString& version, const QString& folderName,
                       const QString& requiredFile = {});

} // namespace NpmInstall
