#include "discovery/root_scan.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

DiscoveredConfig config(const TempFolder& tree, const QString& relative, const char* file)
{
    return {relative.isEmpty() ? tree.path() : tree.filePath(relative), QString::fromLatin1(file)};
}

// "a/b/c..." with `levels` folder names below the root.
QString nested(int levels)
{
    QStringList pieces;
    for (int i = 1; i <= levels; ++i)
        pieces.append(QStringLiteral("l%1").arg(i));
    return pieces.join(u'/');
}

} // namespace

TEST(ScanRoot, KeepsTheBestRankedNamePerFolderAndSortsByFolder)
{
    TempFolder tree;
    tree.write(QStringLiteral("b/wrangler.toml"), "name = 'b'\n");
    tree.write(QStringLiteral("b/wrangler.jsonc"), "{}");
    tree.write(QStringLiteral("a/wrangler.toml"), "");
    tree.write(QStringLiteral("a/wrangler.json"), "{}");
    tree.write(QStringLiteral("c/wrangler.toml"), "");
    tree.write(QStringLiteral("c/Wrangler.toml"), "");     // case differs: ignored
    tree.write(QStringLiteral("d/wrangler.toml.bak"), ""); // name only begins alike
    tree.write(QStringLiteral("d/WRANGLER.JSONC"), "");

    const QList<DiscoveredConfig> expected{config(tree, QStringLiteral("a"), "wrangler.json"),
                                           config(tree, QStringLiteral("b"), "wrangler.jsonc"),
                                           config(tree, QStringLiteral("c"), "wrangler.toml")};
    EXPECT_EQ(scanRoot(tree.path()), expected);
}

TEST(ScanRoot, SkipsDependencyBuildAndToolFoldersAtAnyDepthButWalksOtherHiddenFolders)
{
    TempFolder tree;
    const QStringList skipped{QStringLiteral("node_modules"), QStringLiteral(".wrangler"),
                              QStringLiteral(".git"),         QStringLiteral("dist"),
                              QStringLiteral(".output"),      QStringLiteral(".next"),
                              QStringLiteral(".localflare")};
    for (const QString& name : skipped) {
        tree.write(name + QStringLiteral("/wrangler.toml"), "");
        tree.write(QStringLiteral("p/deep/") + name + QStringLiteral("/pkg/wrangler.jsonc"), "");
    }
    tree.write(QStringLiteral(".hidden/app/wrangler.toml"), "");
    tree.write(QStringLiteral("p/.config/wrangler.json"), "");

    const QList<DiscoveredConfig> expected{
        config(tree, QStringLiteral(".hidden/app"), "wrangler.toml"),
        config(tree, QStringLiteral("p/.config"), "wrangler.json")};
    EXPECT_EQ(scanRoot(tree.path()), expected);
}

TEST(ScanRoot, FindsConfigsEightLevelsDownButNotNine)
{
    TempFolder tree;
    tree.write(nested(8) + QStringLiteral("/wrangler.toml"), "");
    tree.write(nested(9) + QStringLiteral("/wrangler.toml"), "");
    tree.write(QStringLiteral("x/") + nested(9) + QStringLiteral("/wrangler.toml"), "");
    const QList<DiscoveredConfig> found = scanRoot(tree.path());
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found.first(), config(tree, nested(8), "wrangler.toml"));
}

TEST(ScanRoot, FindsNestedProjectsAndARootThatIsItselfAProject)
{
    TempFolder tree;
    tree.write(QStringLiteral("wrangler.toml"), "");
    tree.write(QStringLiteral("site/wrangler.jsonc"), "");
    tree.write(QStringLiteral("site/workers/api/wrangler.toml"), "");
    const QList<DiscoveredConfig> expected{
        config(tree, QString(), "wrangler.toml"),
        config(tree, QStringLiteral("site"), "wrangler.jsonc"),
        config(tree, QStringLiteral("site/workers/api"), "wrangler.toml")};
    EXPECT_EQ(scanRoot(tree.path()), expected);
    EXPECT_EQ(scanRoot(tree.path() + QStringLiteral("/")),
              expected); // trailing slash changes nothing
}

TEST(ScanRoot, NeverFollowsSymbolicLinksIntoFoldersSoLoopsEnd)
{
    TempFolder tree;
    tree.write(QStringLiteral("real/wrangler.toml"), "");
    tree.makeDir(QStringLiteral("real/sub"));
    // A loop back to the root, a link to a project folder and a linked config file.
    ASSERT_TRUE(QFile::link(tree.path(), tree.filePath(QStringLiteral("real/sub/loop"))));
    ASSERT_TRUE(
        QFile::link(tree.filePath(QStringLiteral("real")), tree.filePath(QStringLiteral("alias"))));
    tree.write(QStringLiteral("elsewhere.toml"), "");
    tree.makeDir(QStringLiteral("linked"));
    ASSERT_TRUE(QFile::link(tree.filePath(QStringLiteral("elsewhere.toml")),
                            tree.filePath(QStringLiteral("linked/wrangler.toml"))));

    const QList<DiscoveredConfig> expected{
        config(tree, QStringLiteral("linked"), "wrangler.toml"), // a linked file still counts
        config(tree, QStringLiteral("real"), "wrangler.toml")};
    EXPECT_EQ(scanRoot(tree.path()), expected);
}

TEST(ScanRoot, FollowsARootThatIsASymbolicLink)
{
    TempFolder tree;
    tree.write(QStringLiteral("real/app/wrangler.toml"), "");
    ASSERT_TRUE(
        QFile::link(tree.filePath(QStringLiteral("real")), tree.filePath(QStringLiteral("root"))));
    const QList<DiscoveredConfig> found = scanRoot(tree.filePath(QStringLiteral("root")));
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found.first().dir, tree.filePath(QStringLiteral("root/app")));
}

TEST(ScanRoot, MissingRootsAndUnreadableFoldersGiveWhatCanBeRead)
{
    TempFolder tree;
    EXPECT_TRUE(scanRoot(tree.filePath(QStringLiteral("missing"))).isEmpty());
    EXPECT_TRUE(scanRoot(tree.write(QStringLiteral("file"), "")).isEmpty());
    EXPECT_TRUE(scanRoot(QString()).isEmpty());

    tree.write(QStringLiteral("open/wrangler.toml"), "");
    tree.write(QStringLiteral("locked/inner/wrangler.toml"), "");
    ASSERT_EQ(::chmod(QFile::encodeName(tree.filePath(QStringLiteral("locked"))).constData(), 0),
              0);
    const QList<DiscoveredConfig> found = scanRoot(tree.path());
    ::chmod(QFile::encodeName(tree.filePath(QStringLiteral("locked"))).constData(), 0755);
    EXPECT_TRUE(found.contains(config(tree, QStringLiteral("open"), "wrangler.toml")));
    if (::geteuid() != 0) { // root reads the locked folder anyway
        EXPECT_EQ(found.size(), 1);
    }
}

TEST(FindConfig, LooksOnlyInTheFolderItselfBestRankFirst)
{
    TempFolder tree;
    tree.write(QStringLiteral("sub/wrangler.jsonc"), "");
    EXPECT_FALSE(findConfig(tree.path()).has_value());
    EXPECT_FALSE(findConfig(tree.filePath(QStringLiteral("missing"))).has_value());

    tree.write(QStringLiteral("wrangler.toml"), "");
    EXPECT_EQ(findConfig(tree.path()), config(tree, QString(), "wrangler.toml"));
    tree.write(QStringLiteral("wrangler.json"), "");
    EXPECT_EQ(findConfig(tree.path()), config(tree, QString(), "wrangler.json"));
    tree.makeDir(QStringLiteral("wrangler.jsonc")); // "something exists": a folder counts too
    EXPECT_EQ(findConfig(tree.path()), config(tree, QString(), "wrangler.jsonc"));
}
