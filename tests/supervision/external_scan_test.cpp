// Detection of dev servers started outside the application, against real processes: fixture
// programs that name themselves like npm, node and workerd and listen on loopback ports.

#include "external_fixture_tree.h"
#include "supervision/external/proc_process_table.h"
#include "supervision/external/system_processes.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace {

using Args = QStringList;

Project projectAt(const QString& path, std::optional<int> port = std::nullopt)
{
    Project project;
    project.path = path;
    project.name = path.section(u'/', -1);
    project.port = port;
    return project;
}

// npm -> node -> workerd, the shape of `npx wrangler dev` as far as the launcher names go.
Args wranglerChain(const Args& workerdListens)
{
    return Args{"--name", "npm"} +
           child(Args{"--name", "node"} + child(Args{"--name", "workerd"} + workerdListens));
}

class ExternalScanTest : public ::testing::Test
{
protected:
    TempFolder temp;
};

TEST_F(ExternalScanTest, FindsServerInProjectFolderWithItsLaunchersAndPort)
{
    const QString folder = temp.makeDir("app");
    FixtureTree tree(folder, wranglerChain({"--listen", "4:low", "--listen", "4:any"}));
    ASSERT_TRUE(tree.ready());
    const FixtureProcess workerd = tree.named("workerd");
    const int devPort = workerd.ports[0];
    const int systemPort = workerd.ports[1];
    ASSERT_LT(devPort, 32768);

    // Without a saved port: the port chosen on purpose, not the one the system handed out.
    ExternalScan scan = scanExternal({projectAt(folder)}, {});
    ASSERT_TRUE(scan.contains(folder));
    EXPECT_EQ(scan[folder], (ExternalProcess{tree.pids(), devPort}));
    EXPECT_EQ(
        scanExternalAsync(std::make_shared<ProcProcessTable>(), {projectAt(folder)}, {}).result(),
        scan);

    // A saved port among the listening ports wins; one that is not is ignored.
    scan = scanExternal({projectAt(folder, systemPort)}, {});
    EXPECT_EQ(scan[folder].port, systemPort);
    scan = scanExternal({projectAt(folder, 1)}, {});
    EXPECT_EQ(scan[folder].port, devPort);
}

TEST_F(ExternalScanTest, MatchesSubfoldersButNotSiblingsSharingThePrefix)
{
    const QString folder = temp.makeDir("site");
    FixtureTree inSubfolder(temp.makeDir("site/src/worker"), wranglerChain({"--listen", "4:low"}));
    FixtureTree inSibling(temp.makeDir("site-old"), wranglerChain({"--listen", "4:low"}));
    ASSERT_TRUE(inSubfolder.ready() && inSibling.ready());

    // Given with a trailing slash and a "." segment: compared after standardization.
    const ExternalScan scan = scanExternal({projectAt(folder + "/./")}, {});
    ASSERT_EQ(scan.size(), 1);
    EXPECT_EQ(scan.value(folder + "/./").pids, inSubfolder.pids());
    EXPECT_EQ(scan.value(folder + "/./").port, inSubfolder.named("workerd").ports[0]);
}

TEST_F(ExternalScanTest, NestedProjectsGiveEachServerToTheInnermostProject)
{
    const QString outer = temp.makeDir("outer");
    const QString inner = temp.makeDir("outer/packages/inner");
    FixtureTree innerServer(temp.makeDir("outer/packages/inner/src"),
                            wranglerChain({"--listen", "4:low"}));
    FixtureTree outerServer(temp.makeDir("outer/tools"), wranglerChain({"--listen", "6:low"}));
    ASSERT_TRUE(innerServer.ready() && outerServer.ready());

    // The outer project comes first in the list; the longer folder still wins.
    const ExternalScan scan = scanExternal({projectAt(outer), projectAt(inner)}, {});
    ASSERT_EQ(scan.size(), 2);
    EXPECT_EQ(scan.value(inner).pids, innerServer.pids());
    EXPECT_EQ(scan.value(outer).pids, outerServer.pids());
    // The outer server listens on IPv6 loopback only.
    EXPECT_EQ(scan.value(outer).port, outerServer.named("workerd").ports[0]);
}

TEST_F(ExternalScanTest, ServerWithoutListeningPortHasPidsButNoPort)
{
    const QString folder = temp.makeDir("quiet");
    FixtureTree tree(folder, wranglerChain({}));
    ASSERT_TRUE(tree.ready());
    const ExternalScan scan = scanExternal({projectAt(folder, 8787)}, {});
    ASSERT_TRUE(scan.contains(folder));
    EXPECT_EQ(scan[folder].pids, tree.pids());
    EXPECT_EQ(scan[folder].port, std::nullopt);
}

TEST_F(ExternalScanTest, ServersInTheApplicationsOwnGroupsAreLeftOut)
{
    const QString folder = temp.makeDir("managed");
    FixtureTree tree(folder, wranglerChain({"--listen", "4:low"}));
    ASSERT_TRUE(tree.ready());
    EXPECT_TRUE(scanExternal({projectAt(folder)}, {tree.groupId()}).isEmpty());
    EXPECT_TRUE(scanExternal({projectAt(folder)}, {tree.groupId() + 100000}).contains(folder));
}

TEST_F(ExternalScanTest, WranglerWithTwoRuntimesTakesTheDevPortNotARandomOne)
{
    // As `wrangler dev` runs: node listens on system-picked ports; the first workerd on the
    // dev and inspector ports; the second only on system-picked ports.
    const QString folder = temp.makeDir("two");
    FixtureTree tree(folder,
                     Args{"--name", "node", "--listen", "4:any", "--listen", "4:any"} +
                         child({"--name", "workerd", "--listen", "4:low", "--listen", "4:low"}) +
                         child({"--name", "workerd", "--listen", "4:any", "--listen", "4:any",
                                "--listen", "4:any"}));
    ASSERT_TRUE(tree.ready());
    const ExternalScan scan = scanExternal({projectAt(folder)}, {});
    ASSERT_TRUE(scan.contains(folder));
    EXPECT_EQ(scan[folder].pids, tree.pids());
    // Processes report in any order: the first runtime is the one with two ports.
    const FixtureProcess first = tree.named("workerd", 0).ports.size() == 2
                                     ? tree.named("workerd", 0)
                                     : tree.named("workerd", 1);
    EXPECT_EQ(scan[folder].port, first.ports[0]);
}

TEST_F(ExternalScanTest, ViteServerTakesTheDevPortOfItsNodeLauncher)
{
    // Vite's node owns the dev and inspector ports; its one workerd listens on picked ports.
    const QString folder = temp.makeDir("vite");
    FixtureTree tree(folder, Args{"--name", "npm run dev"} +
                                 child(Args{"--name", "node", "--listen", "4:low", "--listen",
                                            "4:low", "--listen", "4:any"} +
                                       child({"--name", "workerd", "--listen", "4:any"})));
    ASSERT_TRUE(tree.ready());
    const ExternalScan scan = scanExternal({projectAt(folder)}, {});
    ASSERT_TRUE(scan.contains(folder));
    // npm's renamed process is not a runtime name: the chain ends below it.
    const QList<qint32> expected{tree.named("node").pid, tree.named("workerd").pid};
    EXPECT_EQ(scan[folder].pids, (QList<qint32>{std::min(expected[0], expected[1]),
                                                std::max(expected[0], expected[1])}));
    EXPECT_EQ(scan[folder].port, tree.named("node").ports[0]);
}

TEST_F(ExternalScanTest, ProcessesOnlyNamedLikeLaunchersAreNotServers)
{
    const QString folder = temp.makeDir("plain");
    FixtureTree tree(folder, Args{"--name", "node", "--listen", "4:low"} +
                                 child({"--name", "workerd-x", "--listen", "4:low"}));
    ASSERT_TRUE(tree.ready());
    EXPECT_TRUE(scanExternal({projectAt(folder)}, {}).isEmpty());
}

} // namespace
