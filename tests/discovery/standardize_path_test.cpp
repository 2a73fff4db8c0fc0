#include "base/paths.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(StandardizePath, RemovesDotSegmentsDuplicateAndTrailingSlashes)
{
    EXPECT_EQ(standardizePath(QStringLiteral("/a/./b/../c/")), QStringLiteral("/a/c"));
    EXPECT_EQ(standardizePath(QStringLiteral("//a///b//")), QStringLiteral("/a/b"));
    EXPECT_EQ(standardizePath(QStringLiteral("/a/b/../../..")), QStringLiteral("/"));
    EXPECT_EQ(standardizePath(QStringLiteral("/")), QStringLiteral("/"));
    EXPECT_EQ(standardizePath(QStringLiteral("/a/..b/.c")), QStringLiteral("/a/..b/.c"));
    EXPECT_EQ(standardizePath(QString()), QString());
}

TEST(StandardizePath, RelativePathsStayRelative)
{
    EXPECT_EQ(standardizePath(QStringLiteral("a/./b/")), QStringLiteral("a/b"));
    EXPECT_EQ(standardizePath(QStringLiteral("../a/../../b")), QStringLiteral("../../b"));
    EXPECT_EQ(standardizePath(QStringLiteral("./")), QStringLiteral("."));
}

TEST(StandardizePath, ExpandsTildeOnlyAtTheStart)
{
    const QString home = QDir::homePath();
    EXPECT_EQ(standardizePath(QStringLiteral("~")), standardizePath(home));
    EXPECT_EQ(standardizePath(QStringLiteral("~/Sites/")),
              standardizePath(home + QStringLiteral("/Sites")));
    EXPECT_EQ(standardizePath(QStringLiteral("/a/~/b")), QStringLiteral("/a/~/b"));
    EXPECT_EQ(standardizePath(QStringLiteral("~no-such-user-here/x")),
              QStringLiteral("~no-such-user-here/x"));
    EXPECT_EQ(standardizePath(QStringLiteral("~root/x")), QStringLiteral("/root/x"));
}

TEST(StandardizePath, DoesNotResolveSymbolicLinks)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("real"))));
    ASSERT_TRUE(
        QFile::link(dir.filePath(QStringLiteral("real")), dir.filePath(QStringLiteral("link"))));
    const QString viaLink = dir.path() + QStringLiteral("/link/");
    EXPECT_EQ(standardizePath(viaLink), dir.path() + QStringLiteral("/link"));
}

TEST(PathComponents, LastComponentAndJoin)
{
    EXPECT_EQ(lastPathComponent(QStringLiteral("/a/b")), QStringLiteral("b"));
    EXPECT_EQ(lastPathComponent(QStringLiteral("/a/b/")), QStringLiteral("b"));
    EXPECT_EQ(lastPathComponent(QStringLiteral("/")), QStringLiteral("/"));
    EXPECT_EQ(joinPath(QStringLiteral("/a/"), QStringLiteral("b")), QStringLiteral("/a/b"));
    EXPECT_EQ(joinPath(QStringLiteral("/"), QStringLiteral("b")), QStringLiteral("/b"));
}
