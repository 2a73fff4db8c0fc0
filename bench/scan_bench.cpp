// Walk of a broad root against GNU find doing the same pruned walk, and the cost of setting
// up the root watcher's inotify watches on the same tree.

#include "bench_report.h"
#include "bench_tree.h"
#include "discovery/discovery_names.h"
#include "discovery/root_scan.h"
#include "discovery/root_watcher.h"

#include <QCoreApplication>
#include <QString>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

const QString benchRoot = QString::fromStdString(bench_tree::root);

// Runs a program with its output thrown away and waits for it.
void runQuietly(std::vector<std::string> arguments)
{
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0)
        ::waitpid(pid, nullptr, 0);
    posix_spawn_file_actions_destroy(&actions);
}

// find ROOT -maxdepth 9 -type d ( -name node_modules -o ... ) -prune -o -name 'wrangler.*' -print
// Depth 9 lists the entries of level-8 folders without entering level-9 folders, as the walk.
std::vector<std::string> prunedFind(const std::string& root)
{
    std::vector<std::string> arguments{
        "find", root, "-maxdepth", std::to_string(maxDescendLevel + 1), "-type", "d", "("};
    bool first = true;
    for (const QString& name : skippedDirectoryNames()) {
        if (!first)
            arguments.push_back("-o");
        first = false;
        arguments.insert(arguments.end(), {"-name", name.toStdString()});
    }
    arguments.insert(arguments.end(), {")", "-prune", "-o", "-name", "wrangler.*", "-print"});
    return arguments;
}

void BM_ScanRoot(benchmark::State& state)
{
    qsizetype found = 0;
    for (auto _ : state)
        found = scanRoot(benchRoot).size();
    if (found != bench_tree::projectCount)
        state.SkipWithError("the walk did not find every project (or found too many)");
    state.counters["projects"] = double(found);
}

void BM_FindPruned(benchmark::State& state)
{
    const std::vector<std::string> arguments = prunedFind(bench_tree::root);
    for (auto _ : state)
        runQuietly(arguments);
}

// What starting find costs at all: the part of its time that is not walking.
void BM_FindStartup(benchmark::State& state)
{
    bench_tree::makeDir("/tmp/tallowmere-bench-empty");
    const std::vector<std::string> arguments = prunedFind("/tmp/tallowmere-bench-empty");
    for (auto _ : state)
        runQuietly(arguments);
}

void BM_WatchSetup(benchmark::State& state)
{
    int watches = 0;
    for (auto _ : state) {
        RootWatcher watcher({benchRoot}, [] {});
        watches = watcher.watchedFolderCount();
    }
    state.counters["watches"] = watches;
}

} // namespace

BENCHMARK(BM_ScanRoot)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_FindPruned)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_FindStartup)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_WatchSetup)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv); // the watcher's socket notifier needs an event loop
    benchmark::Initialize(&argc, argv);
    bench_tree::ensure();
    scanRoot(benchRoot); // warm the caches for both walks
    runQuietly(prunedFind(bench_tree::root));

    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double scan = reporter.ms("BM_ScanRoot");
    const double find = reporter.ms("BM_FindPruned");
    const double startup = reporter.ms("BM_FindStartup");
    if (scan > 0 && find > 0) {
        std::printf("\nscanRoot / find (same pruned walk): %.2f  (target <= 1.0)\n", scan / find);
        if (startup > 0 && find > startup)
            std::printf("scanRoot / (find - find's start-up %.2f ms): %.2f\n", startup,
                        scan / (find - startup));
    }
    benchmark::Shutdown();
    return 0;
}
