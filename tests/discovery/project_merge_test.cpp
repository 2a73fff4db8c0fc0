#include "discovery/project_merge.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace {

Project project(const QString& path, const QString& name, std::optional<QString> root)
{
    Project p;
    p.path = path;
    p.configFile = QStringLiteral("wrangler.toml");
    p.name = name;
    p.rootPath = std::move(root);
    return p;
}

ProjectInfo infoNamed(std::optional<QString> workerName)
{
    ProjectInfo info;
    info.workerName = std::move(workerName);
    return info;
}

QStringList pathsOf(const QList<Project>& projects)
{
    QStringList paths;
    for (const Project& p : projects)
        paths.append(p.path);
    return paths;
}

const QString rootA = QStringLiteral("/sites");
const QString rootB = QStringLiteral("/work");

} // namespace

TEST(MergeScan, AppendsNewUpdatesKnownAndRemovesVanishedProjectsOfScannedRoots)
{
    Project kept = project("/sites/api", "old-name", rootA);
    kept.hidden = true;
    kept.port = 8788;
    kept.runModeOverride = RunModeKind::custom;
    const QList<Project> before{project("/sites/gone", "gone", rootA), kept,
                                project("/elsewhere/manual", "manual", std::nullopt),
                                project("/sites/inside-by-hand", "hand", std::nullopt),
                                project("/work/other", "other", rootB)};
    ProjectInfoMap infos;
    infos.insert("/sites/gone", infoNamed("gone"));
    infos.insert("/work/other", infoNamed("other"));
    infos.insert("/stale/record", infoNamed("stale"));

    RootScanResult scan{rootA, {}};
    scan.found.append({{"/sites/./api/", "wrangler.jsonc"}, infoNamed("api-worker")});
    scan.found.append({{"/sites/new", "wrangler.json"}, infoNamed(std::nullopt)});
    const ScanMerge merge = mergeScan(before, infos, {scan});

    EXPECT_EQ(pathsOf(merge.projects),
              (QStringList{"/sites/api", "/elsewhere/manual", "/sites/inside-by-hand",
                           "/work/other", "/sites/new"}));
    EXPECT_EQ(merge.removedPaths, QStringList{"/sites/gone"});

    const Project& api = merge.projects.at(0);
    EXPECT_EQ(api.name, QStringLiteral("api-worker"));
    EXPECT_EQ(api.configFile, QStringLiteral("wrangler.jsonc"));
    EXPECT_TRUE(api.hidden); // nothing else of a known project changes
    EXPECT_EQ(api.port, 8788);
    EXPECT_EQ(api.runModeOverride, RunModeKind::custom);

    const Project& added = merge.projects.last();
    EXPECT_EQ(added.name, QStringLiteral("new")); // no worker name: the folder's name
    EXPECT_EQ(added.rootPath, rootA);
    EXPECT_EQ(added.configFile, QStringLiteral("wrangler.json"));
    EXPECT_FALSE(added.hidden);
    EXPECT_FALSE(added.port || added.favorite || added.runModeOverride || added.customCommand);

    EXPECT_EQ(QSet<QString>(merge.infos.keyBegin(), merge.infos.keyEnd()),
              (QSet<QString>{"/sites/api", "/sites/new", "/work/other"}));
    EXPECT_EQ(merge.infos.value("/sites/api").workerName, QStringLiteral("api-worker"));
}

TEST(MergeScan, AnEmptyResultStillCountsItsRootAsScanned)
{
    const QList<Project> before{project("/sites/a", "a", rootA), project("/work/b", "b", rootB)};
    const ScanMerge merge = mergeScan(before, {}, {RootScanResult{rootA, {}}});
    EXPECT_EQ(pathsOf(merge.projects), QStringList{"/work/b"});
    EXPECT_EQ(merge.removedPaths, QStringList{"/sites/a"});

    const ScanMerge nothing = mergeScan(before, {}, {});
    EXPECT_EQ(nothing.projects, before);
    EXPECT_TRUE(nothing.removedPaths.isEmpty());
}

TEST(MergeScan, AProjectFoundUnderAnotherScannedRootKeepsItsOwnRoot)
{
    // Roots /sites and /sites/team overlap; the project belongs to the one that found it first.
    const QList<Project> before{project("/sites/team/app", "app", QStringLiteral("/sites/team"))};
    RootScanResult outer{rootA, {}};
    outer.found.append({{"/sites/team/app", "wrangler.toml"}, infoNamed("app")});
    const ScanMerge merge = mergeScan(before, {}, {outer, RootScanResult{"/sites/team", {}}});
    ASSERT_EQ(merge.projects.size(), 1);
    EXPECT_EQ(merge.projects.first().rootPath, QStringLiteral("/sites/team"));
    EXPECT_TRUE(merge.removedPaths.isEmpty());
}

TEST(ApplyInfoResults, StoresRecordsOfKnownProjectsAndAdoptsWorkerNames)
{
    QList<Project> projects{project("/a", "a", std::nullopt), project("/b", "b-worker", rootA)};
    ProjectInfoMap infos;
    EXPECT_FALSE(applyInfoResults(
        projects, infos, {{"/b", infoNamed("b-worker")}, {"/a", infoNamed(std::nullopt)}}));
    EXPECT_EQ(projects.at(0).name, QStringLiteral("a"));
    EXPECT_EQ(infos.size(), 2);

    EXPECT_TRUE(applyInfoResults(projects, infos,
                                 {{"/gone", infoNamed("ghost")}, {"/a", infoNamed("renamed")}}));
    EXPECT_EQ(projects.at(0).name, QStringLiteral("renamed"));
    EXPECT_FALSE(infos.contains("/gone"));
}

TEST(AddProjectFolder, RefusesWithoutConfigRevealsKnownAndAppendsNew)
{
    TempFolder tree;
    tree.write(QStringLiteral("app/wrangler.jsonc"), "{}");
    tree.write(QStringLiteral("app/wrangler.toml"), "");
    QList<Project> projects;

    const AddProjectPlan refused =
        addProjectFolder(projects, tree.makeDir(QStringLiteral("empty")));
    EXPECT_EQ(
        refused.refusal,
        QStringLiteral("No wrangler.toml, wrangler.json or wrangler.jsonc found in that folder."));
    EXPECT_TRUE(projects.isEmpty());

    const AddProjectPlan added =
        addProjectFolder(projects, tree.path() + QStringLiteral("/./app/"));
    EXPECT_FALSE(added.refusal.has_value());
    EXPECT_FALSE(added.alreadyRegistered);
    ASSERT_EQ(projects.size(), 1);
    EXPECT_EQ(projects.first().path, tree.filePath(QStringLiteral("app")));
    EXPECT_EQ(added.path, projects.first().path);
    EXPECT_EQ(projects.first().configFile, QStringLiteral("wrangler.jsonc"));
    EXPECT_EQ(projects.first().name, QStringLiteral("app"));
    EXPECT_FALSE(projects.first().rootPath.has_value());

    projects.first().hidden = true;
    const AddProjectPlan again = addProjectFolder(projects, tree.filePath(QStringLiteral("app")));
    EXPECT_TRUE(again.alreadyRegistered);
    EXPECT_EQ(projects.size(), 1);
    EXPECT_FALSE(projects.first().hidden);
}

TEST(ScanRoots, WalksEachRootInOrderAndInspectsWhatItFinds)
{
    TempFolder tree;
    tree.write(QStringLiteral("one/wrangler.toml"), "name = \"root-worker\"\n");
    tree.write(QStringLiteral("one/sub/./app/wrangler.jsonc"), "{\"name\": \"app\"}");
    tree.makeDir(QStringLiteral("two"));
    const QString one = tree.filePath(QStringLiteral("one"));
    const QString two = tree.filePath(QStringLiteral("two"));

    const QList<RootScanResult> results =
        scanRoots({two, one + QStringLiteral("/"), tree.filePath("missing")});
    ASSERT_EQ(results.size(), 3);
    EXPECT_EQ(results.at(0).root, two);
    EXPECT_TRUE(results.at(0).found.isEmpty());
    EXPECT_EQ(results.at(1).root, one + QStringLiteral("/"));
    ASSERT_EQ(results.at(1).found.size(), 2);
    EXPECT_EQ(results.at(1).found.at(0).first.file, QStringLiteral("wrangler.toml"));
    EXPECT_EQ(results.at(1).found.at(0).second.workerName, QStringLiteral("root-worker"));
    EXPECT_EQ(results.at(1).found.at(1).second.workerName, QStringLiteral("app"));
    EXPECT_TRUE(results.at(2).found.isEmpty());

    // Merged, the root folder itself is a project under its standardized path.
    const ScanMerge merge = mergeScan({}, {}, results);
    EXPECT_EQ(pathsOf(merge.projects),
              (QStringList{one, tree.filePath(QStringLiteral("one/sub/app"))}));
}
