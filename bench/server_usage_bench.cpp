// Cost of one refresh of a server's memory and processor time: usageOfGroup, one walk of the
// process table and one look at each member (its stat file, and smaps_rollup for a small
// process or when the cache of proportional sizes has no fresh figure). Target: under 2 ms.
//
// Measures two trees, each leading its own process group as a server started by the
// application does:
// - a stand-in of eight processes shaped like `npx wrangler dev` (the shell, npm's Node, its
//   shell, Wrangler's Node with the runtimes and the bundler under it, a sleeping helper),
//   each Node holding some megabytes of heap;
// - the real Wrangler of the tests (tests/support/wrangler_install.h) serving the fixture
//   Worker, when it is installed or can be (skipped otherwise).
// Prints the members, their resident and proportional sizes and the time per pass.

#include "bench_report.h"
#include "supervision/external/proc_process_table.h"
#include "supervision/external/process_usage.h"
#include "support/loopback.h"
#include "support/wrangler_install.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

// Every Node of the stand-in runs this with its role; the roles spawn the roles below them.
constexpr char treeScript[] = R"(
const { spawn } = require('child_process');
const role = process.argv[2];
const heapMB = { npm: 40, wrangler: 90, workerd: 60, esbuild: 15 }[role] || 0;
const keep = [];
for (let i = 0; i < heapMB; i++) keep.push(Buffer.alloc(1 << 20, i));
const below = { npm: ['sh'], wrangler: ['workerd', 'workerd', 'esbuild'] }[role] || [];
for (const child of below) {
  if (child === 'sh')
    spawn('/bin/sh', ['-c', `"${process.execPath}" "${__filename}" wrangler`], { stdio: 'inherit' });
  else
    spawn(process.execPath, [__filename, child], { stdio: 'inherit' });
}
setInterval(() => keep.length, 1 << 30);
)";

struct Tree
{
    QProcess leader;
    qint32 group() const { return qint32(leader.processId()); }
    ~Tree()
    {
        if (group() > 0) {
            ::killpg(group(), SIGKILL);
            leader.waitForFinished(10000);
        }
    }
};

int membersOf(qint32 group)
{
    ProcProcessTable table;
    int count = 0;
    for (const qint32 pid : table.listAllPIDs())
        count += table.processGroup(pid) == group;
    return count;
}

void startGroup(Tree& tree, const QString& command, const QString& folder,
                const QProcessEnvironment& environment)
{
    tree.leader.setChildProcessModifier([] { ::setpgid(0, 0); });
    tree.leader.setWorkingDirectory(folder);
    tree.leader.setProcessEnvironment(environment);
    tree.leader.setStandardOutputFile(QProcess::nullDevice());
    tree.leader.setStandardErrorFile(QProcess::nullDevice());
    tree.leader.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    tree.leader.waitForStarted(10000);
}

// Waits until `ready` holds, for at most `seconds`.
template <typename Ready> bool waitFor(Ready ready, int seconds)
{
    QElapsedTimer clock;
    clock.start();
    while (!ready()) {
        if (clock.elapsed() > qint64(seconds) * 1000)
            return false;
        QThread::msleep(100);
    }
    return true;
}

void describe(const char* title, qint32 group)
{
    ProcProcessTable table;
    quint64 resident = 0;
    std::printf("%s: group %d\n", title, group);
    for (const qint32 pid : table.listAllPIDs()) {
        if (table.processGroup(pid) != group)
            continue;
        const quint64 rss = table.residentBytes(pid).value_or(0);
        const quint64 pss = table.usage(pid).value_or(ProcessUsage{}).memoryBytes;
        resident += rss;
        std::printf("  %7d %-16s resident %7.1f MB  proportional %7.1f MB\n", pid,
                    qPrintable(table.name(pid)), double(rss) / 1048576.0, double(pss) / 1048576.0);
    }
    const ProcessUsage usage = usageOfGroup(table, group);
    std::printf("  %d processes: resident %.1f MB, proportional %.1f MB, %llu CPU ticks\n",
                membersOf(group), double(resident) / 1048576.0,
                double(usage.memoryBytes) / 1048576.0,
                static_cast<unsigned long long>(usage.cpuTicks));
}

qint32 standInGroup = 0;
qint32 wranglerGroup = 0;

// `cold`: every pass reads every member's smaps_rollup, as the first refresh of a server does;
// otherwise the shared cache of proportional sizes is warm, as at every later refresh of a
// server whose processes stay much the same.
void onePass(benchmark::State& state, qint32 group, bool cold)
{
    if (group <= 0) {
        state.SkipWithError("the tree did not start");
        return;
    }
    for (auto _ : state) {
        ProportionalMemoryCache fresh;
        // As at every refresh: a fresh look at the system, one pass over the group.
        const ProcessUsage usage = usageOfGroup(
            ProcProcessTable("/proc", cold ? &fresh : &ProportionalMemoryCache::shared()), group);
        if (usage.memoryBytes == 0)
            state.SkipWithError("the group has no memory");
        benchmark::DoNotOptimize(usage);
    }
}

void BM_StandInTree(benchmark::State& state)
{
    onePass(state, standInGroup, false);
}

void BM_StandInTreeCold(benchmark::State& state)
{
    onePass(state, standInGroup, true);
}

void BM_RealWranglerTree(benchmark::State& state)
{
    onePass(state, wranglerGroup, false);
}

void BM_RealWranglerTreeCold(benchmark::State& state)
{
    onePass(state, wranglerGroup, true);
}

BENCHMARK(BM_StandInTree)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StandInTreeCold)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RealWranglerTree)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RealWranglerTreeCold)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    QTemporaryDir folder;
    const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();

    // The stand-in: sh -> node npm -> sh -> node wrangler -> 2 workerd + esbuild, and a
    // sleeping helper of the shell.
    QFile script(folder.filePath(QStringLiteral("tree.js")));
    script.open(QIODevice::WriteOnly);
    script.write(treeScript);
    script.close();
    Tree standIn;
    startGroup(standIn, QStringLiteral("sleep 3600 & node tree.js npm; wait"), folder.path(),
               system);
    if (waitFor([&] { return membersOf(standIn.group()) >= 8; }, 30)) {
        standInGroup = standIn.group();
        QThread::msleep(500); // the heaps filled
        describe("stand-in tree", standInGroup);
    } else {
        std::printf("stand-in tree: did not start (is node on the PATH?)\n");
    }

    // The real Wrangler, with its own runtime, serving the fixture Worker.
    Tree wrangler;
    const WranglerInstall::Result& install = WranglerInstall::shared();
    const QString worker = folder.filePath(QStringLiteral("hello-worker"));
    QDir().mkpath(worker);
    const QString failure =
        install.ok()
            ? WranglerInstall::placeWorker(
                  install,
                  QStringLiteral(TALLOWMERE_SOURCE_DIR "/tests/model/fixtures/hello-worker"),
                  worker)
            : install.failure;
    if (failure.isEmpty()) {
        QProcessEnvironment environment = system;
        const QString home = folder.filePath(QStringLiteral("home"));
        QDir().mkpath(home);
        const QMap<QString, QString> quiet = WranglerInstall::quietEnvironment(home);
        for (auto it = quiet.cbegin(); it != quiet.cend(); ++it)
            environment.insert(it.key(), it.value());
        const int port = Loopback::freeLowPort(18871);
        const int inspector = Loopback::freeLowPort(port + 1);
        startGroup(wrangler,
                   QStringLiteral("npx wrangler dev --ip 127.0.0.1 --port %1 --inspector-port %2")
                       .arg(port)
                       .arg(inspector),
                   worker, environment);
        if (waitFor([&] { return Loopback::get(port, "/").status > 0; }, 120)) {
            wranglerGroup = wrangler.group();
            describe("real wrangler tree", wranglerGroup);
        } else {
            std::printf("real wrangler tree: no answer on port %d\n", port);
        }
    } else {
        std::printf("real wrangler tree: skipped (%s)\n", qPrintable(failure));
    }

    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* name : {"BM_StandInTree", "BM_RealWranglerTree"})
        if (reporter.ms(name) >= 0)
            std::printf("%s: one refresh %.3f ms (target < 2 ms); the first, reading every "
                        "smaps_rollup, %.3f ms\n",
                        name, reporter.ms(name), reporter.ms(std::string(name) + "Cold"));
    benchmark::Shutdown();
    return 0;
}
