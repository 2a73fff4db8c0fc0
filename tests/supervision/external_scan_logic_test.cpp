// The matching rules of external-server detection over process tables held in memory: the
// process trees of real `wrangler dev`, `wrangler pages dev` and Vite runs (from the corpus),
// launcher chains, folder matching and the choice of port.

#include "supervision/external/external_scan.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

struct FakeProcess
{
    QString name;
    std::optional<ProcessInfo> info;
    QString folder;
    QList<int> ports;
};

class FakeProcessTable final : public ProcessTable
{
public:
    QMap<qint32, FakeProcess> processes;
    int floor = 32768;

    void add(qint32 pid, qint32 ppid, const QString& name, const QString& folder,
             QList<int> ports = {})
    {
        processes.insert(pid, {name, ProcessInfo{ppid, ppid, 0}, folder, std::move(ports)});
    }

    QList<qint32> listAllPIDs() const override { return processes.keys(); }
    QString name(qint32 pid) const override { return processes.value(pid).name; }
    std::optional<ProcessInfo> info(qint32 pid) const override { return processes.value(pid).info; }
    std::optional<qint32> processGroup(qint32 pid) const override
    {
        const std::optional<ProcessInfo> found = info(pid);
        return found ? std::optional<qint32>(found->pgid) : std::nullopt;
    }
    std::optional<quint64> residentBytes(qint32) const override { return std::nullopt; }
    std::optional<ProcessUsage> usage(qint32) const override { return std::nullopt; }
    QString workingFolder(qint32 pid) const override { return processes.value(pid).folder; }
    QList<int> listeningPorts(qint32 pid) const override { return processes.value(pid).ports; }
    int temporaryPortFloor() const override { return floor; }
};

// Loads a "*.tree.txt" of the corpus: rows "PID PPID PGID SID S COMM cwd=... | exe=... | ..."
// and the listening sockets below them ("pid N (name) fd F: 127.0.0.1:PORT ...").
void loadTree(FakeProcessTable& table, const QString& file)
{
    QFile source(QStringLiteral(TALLOWMERE_CORPUS_DIR "/dev-server-output/") + file);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly)) << file.toStdString();
    static const QRegularExpression row(
        QStringLiteral(R"(^(\d+)\s+(\d+)\s+(\d+)\s+\d+\s+\S\s+(.*?)\s+cwd=(\S+) \|)"));
    static const QRegularExpression socket(QStringLiteral(R"(^\s+pid (\d+) .*?: [\d.]+:(\d+) )"));
    for (const QByteArray& raw : source.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (const auto m = row.match(line); m.hasMatch()) {
            table.processes.insert(m.captured(1).toInt(),
                                   {m.captured(4),
                                    ProcessInfo{m.captured(2).toInt(), m.captured(3).toInt(), 0},
                                    m.captured(5),
                                    {}});
        } else if (const auto s = socket.match(line); s.hasMatch()) {
            table.processes[s.captured(1).toInt()].ports.append(s.captured(2).toInt());
        }
    }
}

Project projectAt(const QString& path, std::optional<int> port = std::nullopt)
{
    Project project;
    project.path = path;
    project.port = port;
    return project;
}

TEST(ExternalScanLogic, RealWranglerPagesAndViteTreesGetTheirDevPorts)
{
    FakeProcessTable table;
    loadTree(table, "s2.tree.txt");  // wrangler dev in /home/dev/lab, port 8787
    loadTree(table, "s6c.tree.txt"); // pages dev in /home/dev/lab/pagesproj, port 8796
    loadTree(table, "s7a.tree.txt"); // vite in /home/dev/lab/viteproj, port 5173
    ASSERT_EQ(table.processes.size(), 8 + 8 + 5);

    const QString lab = "/home/dev/lab", pages = lab + "/pagesproj", vite = lab + "/viteproj";
    const ExternalScan scan =
        scanExternal(table, {projectAt(lab), projectAt(pages), projectAt(vite)}, {});
    // Both workerds and the node launchers above them; `sh` ends each chain.
    EXPECT_EQ(scan.value(lab), (ExternalProcess{{12576, 12583, 12671, 12675}, 8787}));
    EXPECT_EQ(scan.value(pages), (ExternalProcess{{25500, 25507, 25535, 25539}, 8796}));
    EXPECT_EQ(scan.value(vite), (ExternalProcess{{27476, 27508}, 5173}));
    EXPECT_EQ(scan.size(), 3);

    // Without the inner projects, their servers belong to the folder above them.
    EXPECT_EQ(scanExternal(table, {projectAt(lab)}, {}).value(lab).pids.size(), 4 + 4 + 2);

    FakeProcessTable wrangler;
    loadTree(wrangler, "s2.tree.txt");
    // The saved inspector port is among the listening ports, so it is taken as saved.
    EXPECT_EQ(scanExternal(wrangler, {projectAt(lab, 9230)}, {}).value(lab).port, 9230);
    // The application's own group (the shell's pid) is never reported.
    EXPECT_FALSE(scanExternal(wrangler, {projectAt(lab)}, {12539}).contains(lab));
}

TEST(ExternalScanLogic, LauncherChainStopsAfterSixLaunchersAndComparesOnlyWhatItCollected)
{
    // workerd 100 under node 101..108; only 107 and 108 run in the project folder.
    FakeProcessTable table;
    table.add(100, 101, "workerd", "/elsewhere");
    for (qint32 pid = 101; pid <= 108; ++pid)
        table.add(pid, pid + 1, "node", pid >= 107 ? "/p" : "/elsewhere");
    EXPECT_TRUE(scanExternal(table, {projectAt("/p")}, {}).isEmpty());

    // The sixth launcher (106) is still compared.
    table.processes[106].folder = "/p/sub";
    EXPECT_EQ(scanExternal(table, {projectAt("/p")}, {}).value("/p").pids,
              (QList<qint32>{100, 101, 102, 103, 104, 105, 106}));
}

TEST(ExternalScanLogic, LauncherChainEndsAtOtherNamesInitAndVanishedParents)
{
    FakeProcessTable table;
    // A launcher whose parent is init: the chain ends with it.
    table.add(10, 11, "workerd", "/p");
    table.add(11, 1, "npx", "/p");
    // A renamed npm ("npm exec wrangl") is not a runtime name.
    table.add(20, 21, "workerd", "/q");
    table.add(21, 22, "node", "/q");
    table.add(22, 23, "npm exec wrangl", "/q");
    // A parent that vanished between the listing and its query.
    table.add(30, 31, "workerd", "");
    table.add(31, 32, "bun", "/r");
    table.processes[31].info.reset();
    // Folders are compared case-sensitively, names too.
    table.add(40, 41, "Workerd", "/q");

    const ExternalScan scan =
        scanExternal(table, {projectAt("/p"), projectAt("/q"), projectAt("/r")}, {});
    EXPECT_EQ(scan.value("/p").pids, (QList<qint32>{10, 11}));
    EXPECT_EQ(scan.value("/q").pids, (QList<qint32>{20, 21}));
    EXPECT_EQ(scan.value("/r").pids, (QList<qint32>{30, 31})); // matched by its launcher alone
    EXPECT_EQ(scan.size(), 3);
}

TEST(ExternalScanLogic, FoldersMatchThemselvesAndBelowAfterStandardization)
{
    FakeProcessTable table;
    table.add(10, 99, "workerd", "/work/app/./src/../src/");
    table.add(20, 99, "workerd", "/work/app-2");
    table.add(30, 99, "workerd", "/work/apps");
    table.add(40, 99, "workerd", "/work/ap");

    const ExternalScan scan = scanExternal(table, {projectAt("/work/app/")}, {});
    EXPECT_EQ(scan.keys(), QStringList{"/work/app/"});
    EXPECT_EQ(scan.value("/work/app/").pids, QList<qint32>{10});
    EXPECT_TRUE(scanExternal(table, {}, {}).isEmpty());
}

TEST(ExternalScanLogic, PickPortPrefersSavedThenChosenThenLowest)
{
    EXPECT_EQ(pickPort({}, 8787, 32768), std::nullopt);
    EXPECT_EQ(pickPort({40000, 8787, 9229}, 9229, 32768), 9229);
    EXPECT_EQ(pickPort({40000, 9229, 8787}, 1234, 32768), 8787);
    EXPECT_EQ(pickPort({45000, 40000, 50000}, std::nullopt, 32768), 40000);
    // The floor is the system's: with a range starting at 49152, 40000 counts as chosen.
    EXPECT_EQ(pickPort({50000, 40000, 49152}, std::nullopt, 49152), 40000);
    EXPECT_EQ(pickPort({32768, 60000}, std::nullopt, 32768), 32768);
}

TEST(ExternalScanLogic, PortIsChosenOverAllServersOfAProject)
{
    // Two separate terminal sessions in one project: one listens only on picked ports.
    FakeProcessTable table;
    table.add(10, 99, "workerd", "/p", {41000, 42000});
    table.add(20, 98, "workerd", "/p/sub", {8788, 43000});
    EXPECT_EQ(scanExternal(table, {projectAt("/p")}, {}).value("/p"),
              (ExternalProcess{{10, 20}, 8788}));
    table.floor = 49152;
    EXPECT_EQ(scanExternal(table, {projectAt("/p", 42000)}, {}).value("/p").port, 42000);
}

} // namespace
