#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// A real Wrangler for the tests that run one, installed with npm into a cache folder outside
// the repository and reused by later runs:
// $XDG_CACHE_HOME (else ~/.cache) / tallowmere-tests / wrangler-<version>.
//
// The version is pinned: later releases need a newer Node than the machine's.
namespace WranglerInstall {

inline constexpr char version[] = "4.86.0";

struct Result
{
    // The folder whose node_modules holds wrangler and its runtime; empty on failure.
    QString folder;
    // Why there is none: npm missing, the registry unreachable, ... (for GTEST_SKIP).
    QString failure;

    bool ok() const { return !folder.isEmpty(); }
    QString nodeModules() const { return folder + QStringLiteral("/node_modules"); }
    QString wranglerBin() const { return nodeModules() + QStringLiteral("/.bin/wrangler"); }
};

// The cache folder for the pinned version (it may not exist yet).
QString cacheFolder();

// Returns the installed copy, installing it first when the cache holds none. Safe when several
// test processes ask at once: one installs, the others wait for it. Blocks (up to ten minutes
// for the download).
Result ensureInstalled();

// The installation every test of this process uses: tried once, on first use.
const Result& shared();

// Copies a fixture Worker (wrangler.jsonc, package.json, src/index.js) from the folder `fixture`
// into `folder` and links the installation's node_modules there, so that `npx wrangler dev`
// runs in it without a download. Returns what failed, empty on success.
QString placeWorker(const Result& install, const QString& fixture, const QString& folder);

// The same with the given `files` of the fixture and any installation's `nodeModules`.
QString placeWorker(const QString& nodeModules, const QString& fixture, const QString& folder,
                    const QStringList& files);

// The environment under which Wrangler neither prompts, nor reports, nor writes into the user's
// home: `home` stands in for it.
QMap<QString, QString> quietEnvironment(const QString& home);

} // namespace WranglerInstall
