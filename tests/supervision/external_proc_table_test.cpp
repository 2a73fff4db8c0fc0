// The /proc process table: names, parents, groups, start times, memory, working folders and
// listening sockets of real processes, and the parsers of the /proc text files.

#include "external_fixture_tree.h"
#include "supervision/external/proc_parsers.h"
#include "supervision/external/proc_process_table.h"
#include "supervision/external/process_usage.h"
#include "supervision/external/system_processes.h"
#include "support/temp_folder.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>

#include <arpa/inet.h>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <limits>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Args = QStringList;

TEST(ExternalProcTable, ReadsNameParentGroupAndFolderOfARealProcess)
{
    TempFolder temp;
    const QString folder = temp.makeDir("work dir");
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    // A name with spaces and parentheses: the stat fields must still be found.
    FixtureTree tree(folder, Args{"--name", "a) b (c"} + child({"--name", "workerd"}));
    ASSERT_TRUE(tree.ready());
    const qint64 after = QDateTime::currentSecsSinceEpoch();
    const FixtureProcess workerd = tree.named("workerd");
    const FixtureProcess top{tree.groupId(), 0, {}, {}};

    ProcProcessTable table;
    EXPECT_TRUE(table.listAllPIDs().contains(workerd.pid));
    EXPECT_EQ(table.name(top.pid), "a) b (c");
    EXPECT_EQ(table.name(workerd.pid), "workerd");
    EXPECT_EQ(table.workingFolder(workerd.pid), folder);

    const std::optional<ProcessInfo> info = table.info(top.pid);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->ppid, ::getpid());
    EXPECT_EQ(info->pgid, top.pid); // it leads its own group
    EXPECT_EQ(table.info(workerd.pid)->ppid, top.pid);
    EXPECT_EQ(table.info(workerd.pid)->pgid, top.pid);
    EXPECT_EQ(table.processGroup(workerd.pid), top.pid);
    // Whole seconds since the epoch; btime and the tick count are each truncated.
    EXPECT_GE(qint64(info->startSec), before - 2);
    EXPECT_LE(qint64(info->startSec), after + 1);
}

TEST(ExternalProcTable, StartTimeIsTheSameAtEveryReading)
{
    TempFolder temp;
    FixtureTree tree(temp.path(), {"--name", "workerd"});
    ASSERT_TRUE(tree.ready());
    const std::optional<ProcessInfo> first = processInfo(tree.groupId());
    ASSERT_TRUE(first);
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(processInfo(tree.groupId()), first) << "reading " << i;
    EXPECT_EQ(processInfo(::getpid())->ppid, ::getppid());
    EXPECT_EQ(processInfo(::getpid())->pgid, ::getpgrp());
}

TEST(ExternalProcTable, ListeningPortsCountOnlyListeningSocketsOfBothFamilies)
{
    TempFolder temp;
    FixtureTree tree(temp.path(), {"--name", "workerd", "--listen", "6:any", "--listen", "4:low",
                                   "--listen", "6:low"});
    ASSERT_TRUE(tree.ready());
    // The two "low" ports may be the same number, once per family: listed once.
    QList<int> expected = tree.named("workerd").ports;
    std::sort(expected.begin(), expected.end());
    expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
    EXPECT_EQ(listeningPorts(tree.groupId()), expected);

    // This process connects to one of them: a connected socket is not a listening one.
    const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(uint16_t(tree.named("workerd").ports[1]));
    ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(listeningPorts(::getpid()), QList<int>{});
    EXPECT_EQ(listeningPorts(tree.groupId()), expected);
    ::close(client);
}

TEST(ExternalProcTable, UsageOfAGroupSumsEveryMemberAndNothingElse)
{
    TempFolder temp;
    FixtureTree tree(temp.path(), Args{"--name", "sh"} +
                                      child(Args{"--name", "node"} + child({"--name", "workerd"})));
    FixtureTree other(temp.path(), {"--name", "node"});
    ASSERT_TRUE(tree.ready() && other.ready());

    ProcProcessTable table;
    ProcessUsage members;
    quint64 smallest = std::numeric_limits<quint64>::max();
    for (const FixtureProcess& process : tree.processes()) {
        const std::optional<ProcessUsage> usage = table.usage(process.pid);
        ASSERT_TRUE(usage);
        ASSERT_GT(usage->memoryBytes, 0u);
        // Proportional: the pages shared with the other fixtures count by their share.
        EXPECT_LE(usage->memoryBytes, *table.residentBytes(process.pid));
        members += *usage;
        smallest = std::min(smallest, usage->memoryBytes);
    }
    // A proportional size moves a little whenever another process on the system maps or drops
    // a shared page, but by far less than one more (or one fewer) member.
    const auto matches = [&](const ProcessUsage& measured) {
        const qint64 apart = qint64(measured.memoryBytes) - qint64(members.memoryBytes);
        return std::abs(apart) < qint64(smallest / 2);
    };
    EXPECT_TRUE(matches(usageOfGroup(tree.groupId())));
    EXPECT_TRUE(matches(usageOfServer(table, std::nullopt, tree.pids())));
    EXPECT_TRUE(matches(usageOfServer(table, tree.groupId(), {})));
    const UsageMeasurement measured =
        measureServersAsync(std::make_shared<ProcProcessTable>(),
                            {{std::nullopt, tree.pids()}, {tree.groupId(), {}}, {0, {}}})
            .result();
    ASSERT_EQ(measured.servers.size(), 3);
    EXPECT_TRUE(matches(measured.servers[0]));
    EXPECT_TRUE(matches(measured.servers[1]));
    EXPECT_EQ(measured.servers[2], ProcessUsage{}) << "group 0 is the kernel's";
}

TEST(ExternalProcTable, ProcessorTimeOfAGroupKeepsThatOfChildrenThatEnded)
{
    // A shell that leads its group runs a busy child for half a second, waits for it, then
    // idles: once the child is gone its time is still the group's.
    QProcess shell;
    shell.setChildProcessModifier([] { ::setpgid(0, 0); });
    shell.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"),
                 QStringLiteral("echo up; timeout 0.5 sh -c 'while :; do :; done'; echo done; "
                                "exec sleep 60")});
    ASSERT_TRUE(shell.waitForReadyRead(10000));
    const qint32 leader = qint32(shell.processId());
    const quint64 atStart = usageOfGroup(leader).cpuTicks;
    while (!shell.readAll().contains("done"))
        ASSERT_TRUE(shell.waitForReadyRead(10000));
    const quint64 afterChild = usageOfGroup(leader).cpuTicks;
    // Half a second of one core; a busy machine gives the loop less of it.
    EXPECT_GE(afterChild, atStart + quint64(::sysconf(_SC_CLK_TCK)) / 10);
    ::killpg(leader, SIGKILL);
    shell.waitForFinished(10000);
}

TEST(ExternalProcTable, AProcessThatIsGoneIsAbsentEverywhere)
{
    TempFolder temp;
    qint32 pid = 0;
    {
        FixtureTree tree(temp.path(), {"--name", "workerd", "--listen", "4:any"});
        ASSERT_TRUE(tree.ready());
        pid = tree.groupId();
    }
    ProcProcessTable table;
    EXPECT_FALSE(table.listAllPIDs().contains(pid));
    EXPECT_EQ(table.name(pid), QString());
    EXPECT_EQ(table.info(pid), std::nullopt);
    EXPECT_EQ(table.processGroup(pid), std::nullopt);
    EXPECT_EQ(table.residentBytes(pid), std::nullopt);
    EXPECT_EQ(table.workingFolder(pid), QString());
    EXPECT_EQ(table.listeningPorts(pid), QList<int>{});
    EXPECT_EQ(table.usage(pid), std::nullopt);
    EXPECT_EQ(usageOfGroup(pid), ProcessUsage{});
    EXPECT_EQ(usageOfProcesses(table, {pid, -1, 0}), ProcessUsage{});
}

TEST(ExternalProcTable, ReadsAFolderLaidOutLikeProc)
{
    TempFolder proc;
    proc.write("stat", "cpu  1 2 3\nintr 1 2 3\nbtime 1700000000\nprocesses 10\n");
    proc.write("sys/net/ipv4/ip_local_port_range", "40000\t60999\n");
    proc.write("net/tcp",
               "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  "
               "timeout inode\n"
               "   0: 0100007F:2253 00000000:0000 0A 00000000:00000000 00:00000000 00000000     "
               "0        0 777 1 0000000000000000 100 0 0 10 0\n");
    proc.write("net/tcp6", "");
    proc.write("42/comm", "workerd\n");
    proc.write("42/stat",
               "42 (workerd) S 7 40 40 0 -1 4194560 1 0 0 0 5 3 2 1 20 0 1 0 250 1 25\n");
    proc.write("42/statm", "100 25 3 1 0 20 0\n");
    proc.write("42/smaps_rollup", "00400000-7ffd00000000 ---p 00000000 00:00 0   [rollup]\n"
                                  "Rss:                 100 kB\nPss:                  61 kB\n"
                                  "Pss_Anon:             40 kB\n");
    // No smaps_rollup (an older kernel): the resident size stands in.
    proc.write("44/stat", "44 (node) S 42 40 40 0 -1 4194560 1 0 0 0 7 0 0 0 20 0 1 0 260 1 10\n");
    proc.write("44/statm", "100 10 3 1 0 20 0\n");
    proc.makeDir("42/fd");
    ASSERT_TRUE(QFile::link("socket:[777]", proc.filePath("42/fd/3")));
    ASSERT_TRUE(QFile::link("socket:[778]", proc.filePath("42/fd/4")));
    ASSERT_TRUE(QFile::link("/dev/null", proc.filePath("42/fd/5")));
    ASSERT_TRUE(QFile::link("/home/dev/site", proc.filePath("42/cwd")));
    proc.write("43/stat", "43 (broken");
    proc.makeDir("self");

    ProcProcessTable table(QFile::encodeName(proc.path()));
    QList<qint32> pids = table.listAllPIDs();
    std::sort(pids.begin(), pids.end());
    EXPECT_EQ(pids, (QList<qint32>{42, 43, 44}));
    EXPECT_EQ(table.name(42), "workerd");
    const long ticks = ::sysconf(_SC_CLK_TCK);
    EXPECT_EQ(table.info(42), (ProcessInfo{7, 40, quint64(1700000000 + 250 / ticks)}));
    EXPECT_EQ(table.info(43), std::nullopt);
    EXPECT_EQ(table.residentBytes(42), quint64(25 * ::sysconf(_SC_PAGESIZE)));
    EXPECT_EQ(table.workingFolder(42), "/home/dev/site");
    EXPECT_EQ(table.listeningPorts(42), QList<int>{8787});
    EXPECT_EQ(table.temporaryPortFloor(), 40000);
    EXPECT_EQ(table.processGroup(42), 40);
    EXPECT_EQ(table.usage(42), (ProcessUsage{quint64(61) * 1024, 11}));
    EXPECT_EQ(table.usage(43), std::nullopt);
    EXPECT_EQ(
        usageOfGroup(table, 40),
        (ProcessUsage{quint64(61) * 1024 + quint64(10) * quint64(::sysconf(_SC_PAGESIZE)), 18}));
    EXPECT_EQ(usageOfGroup(table, 0), ProcessUsage{});

    // A missing folder: every answer is absence, and the floor falls back to Linux's default.
    ProcProcessTable missing(QFile::encodeName(proc.filePath("none")));
    EXPECT_TRUE(missing.listAllPIDs().isEmpty());
    EXPECT_EQ(missing.info(42), std::nullopt);
    EXPECT_EQ(missing.temporaryPortFloor(), 32768);
}

TEST(ExternalProcTable, ProportionalSizesAreReadAgainOnlyWhenTheProcessChanged)
{
    TempFolder proc;
    const long page = ::sysconf(_SC_PAGESIZE);
    const auto layOut = [&](quint64 startTicks, qint64 residentPages, int pssKb,
                            const QByteArray& name = "node") {
        proc.write("42/stat", "42 (" + name + ") S 7 40 40 0 -1 4194560 1 0 0 0 5 3 0 0 20 0 1 0 " +
                                  QByteArray::number(startTicks) + " 1 " +
                                  QByteArray::number(residentPages) + "\n");
        proc.write("42/smaps_rollup", "00400000-7ffd00000000 ---p 00000000 00:00 0   [rollup]\n"
                                      "Rss:  1 kB\nPss:  " +
                                          QByteArray::number(pssKb) + " kB\n");
    };
    const qint64 resident = qint64(64) * 1024 * 1024 / page; // 64 MiB
    layOut(250, resident, 40000);
    ProportionalMemoryCache cache;
    const auto memory = [&] {
        return ProcProcessTable(QFile::encodeName(proc.path()), &cache).usage(42)->memoryBytes;
    };
    EXPECT_EQ(memory(), 40000u * 1024);
    EXPECT_EQ(cache.size(), 1);

    // Shared pages settle elsewhere, the resident size moves by one page: the last reading
    // stands, moved by that page.
    layOut(250, resident + 1, 39000);
    EXPECT_EQ(memory(), quint64(40000) * 1024 + quint64(page));
    // Grown by 8 MiB, beyond the slack: read again.
    layOut(250, resident + 8L * 1024 * 1024 / page, 47000);
    EXPECT_EQ(memory(), 47000u * 1024);
    // The same pid for another process (another start time): never the old one's figure.
    layOut(900, resident + 8L * 1024 * 1024 / page, 12000);
    EXPECT_EQ(memory(), 12000u * 1024);
    // The same process after an exec: a new command name, read again.
    layOut(900, resident + 8L * 1024 * 1024 / page, 9000, "workerd");
    EXPECT_EQ(memory(), 9000u * 1024);

    // The slack is a share of the figure shown, not of the resident size: with most of its
    // pages shared, 1 MiB more is well within 5 % of the resident size, not of 9000 kB.
    layOut(900, resident + 9L * 1024 * 1024 / page, 9900, "workerd");
    EXPECT_EQ(memory(), 9900u * 1024);
    // Within the slack (5 % of 9900 kB is 495 kB): the estimate, off by at most the move.
    const qint64 moved = 400L * 1024 / page;
    layOut(900, resident + 9L * 1024 * 1024 / page + moved, 10000, "workerd");
    EXPECT_EQ(memory(), quint64(9900) * 1024 + quint64(moved * page));

    // A small process is read every time, even unchanged (its figure moves with every fork
    // of its own), and keeps no entry.
    const qint64 small = qint64(ProportionalMemoryCache::smallResidentBytes) / page - 1;
    layOut(900, small, 3000, "sh");
    EXPECT_EQ(memory(), 3000u * 1024);
    layOut(900, small, 1500, "sh");
    EXPECT_EQ(memory(), 1500u * 1024);
    EXPECT_EQ(cache.size(), 0);

    // A reading grows old, and entries of processes nobody looks at are dropped.
    // On the steady clock the table reads, so that the entry of pid 42 ages along.
    const qint64 now = QDeadlineTimer::current().deadline();
    const quint64 big = ProportionalMemoryCache::smallResidentBytes;
    cache.store(7, 1, "sh", big, big / 2, now);
    EXPECT_EQ(cache.estimate(7, 1, "sh", big, now + ProportionalMemoryCache::maxAgeMs), big / 2);
    EXPECT_EQ(cache.estimate(7, 1, "sh", big, now + ProportionalMemoryCache::maxAgeMs + 1),
              std::nullopt);
    cache.store(8, 1, "sh", big, big / 2, now + 4 * ProportionalMemoryCache::maxAgeMs);
    EXPECT_EQ(cache.size(), 1) << "only the fresh entry is left";
}

TEST(ExternalProcParsers, ListeningSocketsKeepOnlyListenRowsWithAPort)
{
    const QByteArray tcp6 =
        "  sl  local_address                         remote_address                        st "
        "tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode\n"
        "   0: 00000000000000000000000001000000:1F90 00000000000000000000000000000000:0000 0A "
        "00000000:00000000 00:00000000 00000000  1000        0 501 1 0000000000000000 100 0 0 10 "
        "0\n"
        "   1: 00000000000000000000000001000000:1F91 00000000000000000000000001000000:C350 01 "
        "00000000:00000000 00:00000000 00000000  1000        0 502 1 0000000000000000 20 4 30 10 "
        "-1\n"
        "   2: 00000000000000000000000001000000:0000 00000000000000000000000000000000:0000 0A "
        "00000000:00000000 00:00000000 00000000  1000        0 503 1 0000000000000000 100 0 0 10 "
        "0\n"
        "   3: 00000000000000000000000001000000:1F92 00000000000000000000000000000000:0000 0A "
        "00000000:00000000 00:00000000 00000000  1000        0 0 1 0000000000000000 100 0 0 10 0\n"
        "   4: truncated row 0A\n";
    EXPECT_EQ(parseListeningSockets(tcp6), (QHash<quint64, int>{{501, 8080}}));
    EXPECT_TRUE(parseListeningSockets("").isEmpty());
    EXPECT_TRUE(parseListeningSockets("garbage without header").isEmpty());

    EXPECT_EQ(parseSocketLink("socket:[12345]"), 12345u);
    EXPECT_EQ(parseSocketLink("socket:[]"), std::nullopt);
    EXPECT_EQ(parseSocketLink("pipe:[12345]"), std::nullopt);
    EXPECT_EQ(parseSocketLink("socket:[12x]"), std::nullopt);
}

TEST(ExternalProcParsers, MalformedFilesGiveNoValue)
{
    EXPECT_EQ(parseBootTime("cpu 1 2\n"), std::nullopt);
    EXPECT_EQ(parseBootTime("btime 12\n"), 12u);
    EXPECT_EQ(parseResidentPages("7"), std::nullopt);
    EXPECT_EQ(parseProportionalBytes("[rollup]\nPss:  12 kB\n"), 12u * 1024);
    EXPECT_EQ(parseProportionalBytes("[rollup]\nPss_Anon:  12 kB\n"), std::nullopt);
    EXPECT_EQ(parseProportionalBytes("[rollup]\nPss:  12 MB\n"), std::nullopt);
    EXPECT_EQ(parseProportionalBytes("[rollup]\nPss:"), std::nullopt);
    EXPECT_EQ(parsePortRangeFloor("0 100"), std::nullopt);
    EXPECT_EQ(parsePortRangeFloor(""), std::nullopt);
}

} // namespace
