#include "discovery/package_reading.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

// Projects sit five folders below the temporary folder: the five folders every lookup sees
// lie inside it, and the temporary folder itself is the first one not seen.
namespace {
const QString project = QStringLiteral("a/b/c/d/app");
}

void PrintTo(PackageManager manager, std::ostream* out)
{
    *out << rawValue(manager).toStdString();
}

TEST(AncestorFolders, NearestFirstStandardizedAndNeverTheFileSystemRoot)
{
    EXPECT_EQ(ancestorFolders(QStringLiteral("/a/b/c/d/e/f"), 5),
              (QStringList{"/a/b/c/d/e/f", "/a/b/c/d/e", "/a/b/c/d", "/a/b/c", "/a/b"}));
    EXPECT_EQ(ancestorFolders(QStringLiteral("/a/./b/../c/"), 5), (QStringList{"/a/c", "/a"}));
    EXPECT_EQ(ancestorFolders(QStringLiteral("/a"), 5), QStringList{"/a"});
    EXPECT_TRUE(ancestorFolders(QStringLiteral("/"), 5).isEmpty());
    EXPECT_TRUE(ancestorFolders(QString(), 5).isEmpty());
    EXPECT_EQ(ancestorFolders(QStringLiteral("/a/b/c"), 2), (QStringList{"/a/b/c", "/a/b"}));
}

TEST(PackageManager, NearestFolderWinsThenLockfileOrderAndFiveFoldersOnly)
{
    TempFolder tree;
    const QString app = tree.makeDir(project);
    EXPECT_EQ(detectPackageManager(app), PackageManager::npm); // nothing anywhere

    tree.write(QStringLiteral("pnpm-lock.yaml"), ""); // the sixth folder up: not seen
    EXPECT_EQ(detectPackageManager(app), PackageManager::npm);
    tree.write(QStringLiteral("a/pnpm-lock.yaml"), "");
    EXPECT_EQ(detectPackageManager(app), PackageManager::pnpm);
    tree.write(project + QStringLiteral("/yarn.lock"), "");
    EXPECT_EQ(detectPackageManager(app), PackageManager::yarn); // nearer beats better-ranked

    tree.write(project + QStringLiteral("/package-lock.json"), "{}");
    tree.write(project + QStringLiteral("/bun.lockb"), "");
    EXPECT_EQ(detectPackageManager(app), PackageManager::yarn);
    QFile::remove(tree.filePath(project + QStringLiteral("/yarn.lock")));
    EXPECT_EQ(detectPackageManager(app), PackageManager::bun);
    QFile::remove(tree.filePath(project + QStringLiteral("/bun.lockb")));
    tree.write(project + QStringLiteral("/bun.lock"), "");
    EXPECT_EQ(detectPackageManager(app), PackageManager::bun);
    QFile::remove(tree.filePath(project + QStringLiteral("/bun.lock")));
    EXPECT_EQ(detectPackageManager(app), PackageManager::npm); // package-lock.json
    EXPECT_EQ(findPackageRoot(app), app);
}

TEST(PackageRoots, MonorepoPackageRunsScriptsInItsPackageButLocksAtTheWorkspace)
{
    TempFolder tree;
    tree.write(QStringLiteral("ws/pnpm-lock.yaml"), "");
    tree.write(QStringLiteral("ws/package.json"), R"({"private": true})");
    tree.write(QStringLiteral("ws/packages/api/package.json"), R"({"scripts": {"dev": "x"}})");
    const QString api = tree.filePath(QStringLiteral("ws/packages/api"));
    EXPECT_EQ(findScriptRoot(api), api);
    EXPECT_EQ(findPackageRoot(api), tree.filePath(QStringLiteral("ws")));

    // A worker folder below the package, with no package.json of its own.
    const QString worker = tree.makeDir(QStringLiteral("ws/packages/api/worker"));
    EXPECT_EQ(findScriptRoot(worker), api);

    // Without any lockfile the package root is the script root; without either, absent.
    TempFolder bare;
    bare.write(project + QStringLiteral("/package.json"), "{}");
    EXPECT_EQ(findPackageRoot(bare.filePath(project)), bare.filePath(project));
    const QString lonely = bare.makeDir(QStringLiteral("x/y/z/w/lonely"));
    EXPECT_FALSE(findScriptRoot(lonely).has_value());
    EXPECT_FALSE(findPackageRoot(lonely).has_value());
}

TEST(InstalledVersion, ReadsTheNearestUsableManifestIncludingScopedPackages)
{
    TempFolder tree;
    const QString app = tree.makeDir(project);
    EXPECT_FALSE(installedVersion(QStringLiteral("wrangler"), app).has_value());

    tree.write(QStringLiteral("a/node_modules/wrangler/package.json"), R"({"version": "4.86.0"})");
    EXPECT_EQ(installedVersion(QStringLiteral("wrangler"), app), QStringLiteral("4.86.0"));

    // Nearer manifests that are unusable are passed over, not taken as "absent".
    tree.write(project + QStringLiteral("/node_modules/wrangler/package.json"), "{broken");
    tree.write(QStringLiteral("a/b/c/node_modules/wrangler/package.json"), R"({"version": 4})");
    EXPECT_EQ(installedVersion(QStringLiteral("wrangler"), app), QStringLiteral("4.86.0"));
    tree.write(QStringLiteral("a/b/node_modules/wrangler/package.json"),
               R"({"name": "wrangler", "version": "3.0.0-beta.1"})");
    EXPECT_EQ(installedVersion(QStringLiteral("wrangler"), app), QStringLiteral("3.0.0-beta.1"));

    tree.write(project + QStringLiteral("/node_modules/@cloudflare/vite-plugin/package.json"),
               R"({"version": "1.13.0"})");
    EXPECT_EQ(installedVersion(QStringLiteral("@cloudflare/vite-plugin"), app),
              QStringLiteral("1.13.0"));
}

TEST(DevScript, AnyDevKeyInAScriptsObjectCountsAndEverythingElseIsFalse)
{
    TempFolder tree;
    const auto hasDev = [&](const QByteArray& package) {
        tree.write(QStringLiteral("package.json"), package);
        return packageHasDevScript(tree.path());
    };
    EXPECT_FALSE(packageHasDevScript(tree.path())); // no package.json
    EXPECT_TRUE(hasDev(R"({"scripts": {"dev": "vite"}})"));
    EXPECT_TRUE(hasDev(R"({"scripts": {"dev": 42}})"));
    EXPECT_TRUE(hasDev(R"({"scripts": {"dev": null}})"));
    EXPECT_FALSE(hasDev(R"({"scripts": {"start": "vite"}})"));
    EXPECT_FALSE(hasDev(R"({"scripts": ["dev"]})"));
    EXPECT_FALSE(hasDev(R"({"dev": "vite"})"));
    EXPECT_FALSE(hasDev(R"(["scripts"])"));
    EXPECT_FALSE(hasDev(R"({"scripts": {"dev": "vite"},})")); // invalid JSON
}
