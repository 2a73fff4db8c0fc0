// Throughput and memory of the dev-server output path: a real child printing as fast as it
// can, read, split, cleaned, delivered to the main thread, parsed and logged.
#include "runs/output_handling.h"
#include "runs/project_runtime.h"
#include "supervision/process_manager.h"
#include "supervision/shell_environment.h"
#include "support/run_state_access.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <ctime>
#include <unistd.h>
#include <vector>

namespace {

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * ::sysconf(_SC_PAGESIZE) : 0;
}

double threadCpuMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

struct RunStats
{
    qint64 lines = 0;
    double seconds = 0;
    double maxBlockedMs = 0;  // longest gap between 1 ms ticks of the receiving thread, minus 1 ms
    double p99BlockedMs = 0;  // the same gap at the 99th percentile
    double maxDeliveryMs = 0; // longest single delivery of lines, wall time
    double maxDeliveryCpuMs = 0; // the same in CPU time of the receiving thread: without the
                                 // time the scheduler gave to other processes
    qint64 peakGrowthBytes = 0;
    int exitCode = -1;
};

// Runs `command` under the process manager on the main thread's event loop. With `parse`,
// every line goes through the output handling into a run state's log, as in the application.
RunStats runChild(const QString& command, bool parse)
{
    ProcessManager manager;
    ProjectRuntime runtime;
    RunStateTestAccess::setStatus(runtime, ProjectStatus::starting());
    RunStats stats;
    const OutputHooks hooks{[](int) { return std::optional<PortOwner>(); }, [](int) {}};

    QElapsedTimer tick;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(1);
    const qint64 baseline = residentBytes();
    int beats = 0;
    std::vector<double> gaps;
    gaps.reserve(100000);
    QObject::connect(&heartbeat, &QTimer::timeout, &runtime, [&] {
        const double gap = tick.nsecsElapsed() / 1e6 - 1.0;
        stats.maxBlockedMs = std::max(stats.maxBlockedMs, gap);
        gaps.push_back(gap);
        tick.restart();
        if (++beats % 10 == 0)
            stats.peakGrowthBytes = std::max(stats.peakGrowthBytes, residentBytes() - baseline);
    });

    ChildCallbacks callbacks{
        [&](const OutputLines& lines) {
            QElapsedTimer delivery;
            delivery.start();
            const double cpuStart = threadCpuMs();
            stats.lines += lines.size();
            if (parse)
                handleOutputLines(runtime, lines, RunModeKind::devScript, hooks);
            stats.maxDeliveryMs = std::max(stats.maxDeliveryMs, delivery.nsecsElapsed() / 1e6);
            stats.maxDeliveryCpuMs = std::max(stats.maxDeliveryCpuMs, threadCpuMs() - cpuStart);
        },
        [&](int code, bool) {
            stats.exitCode = code;
            QCoreApplication::quit();
        }};

    QElapsedTimer clock;
    clock.start();
    tick.start();
    heartbeat.start();
    manager.start(QStringLiteral("bench"), command, QDir::tempPath(),
                  ShellEnvironment::fallbackEnvironment(), &runtime, callbacks);
    QCoreApplication::exec();
    stats.seconds = clock.nsecsElapsed() / 1e9;
    stats.peakGrowthBytes = std::max(stats.peakGrowthBytes, residentBytes() - baseline);
    if (!gaps.empty()) {
        std::sort(gaps.begin(), gaps.end());
        stats.p99BlockedMs = gaps.at(gaps.size() * 99 / 100);
    }
    return stats;
}

// Runs `command` once per iteration and reports totals: throughput over all runs, the worst
// blocking and the largest memory growth of any run.
void measure(benchmark::State& state, const QString& command, bool parse)
{
    RunStats total;
    for (auto _ : state) {
        const RunStats run = runChild(command, parse);
        state.SetIterationTime(run.seconds);
        total.lines += run.lines;
        total.seconds += run.seconds;
        total.maxBlockedMs = std::max(total.maxBlockedMs, run.maxBlockedMs);
        total.maxDeliveryMs = std::max(total.maxDeliveryMs, run.maxDeliveryMs);
        total.maxDeliveryCpuMs = std::max(total.maxDeliveryCpuMs, run.maxDeliveryCpuMs);
        total.p99BlockedMs = std::max(total.p99BlockedMs, run.p99BlockedMs);
        total.peakGrowthBytes = std::max(total.peakGrowthBytes, run.peakGrowthBytes);
        if (run.exitCode != 0)
            state.SkipWithError("the child failed");
    }
    state.counters["lines"] = double(total.lines) / double(state.iterations());
    state.counters["lines_per_s"] = double(total.lines) / total.seconds;
    state.counters["max_blocked_ms"] = total.maxBlockedMs;
    state.counters["p99_blocked_ms"] = total.p99BlockedMs;
    state.counters["max_delivery_ms"] = total.maxDeliveryMs;
    state.counters["max_delivery_cpu_ms"] = total.maxDeliveryCpuMs;
    state.counters["rss_growth_MB"] = double(total.peakGrowthBytes) / 1048576.0;
}

// 1,000,000 short lines through reading, splitting, cleaning, parsing and the log.
void BM_MillionLinesThroughTheWholePath(benchmark::State& state)
{
    measure(state, QStringLiteral("seq -f '[wrangler:info] GET /%g 200 OK (1ms)' 1 1000000"), true);
}
BENCHMARK(BM_MillionLinesThroughTheWholePath)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// The same lines read, split, cleaned and delivered, but neither parsed nor logged.
void BM_MillionLinesDeliveredOnly(benchmark::State& state)
{
    measure(state, QStringLiteral("seq -f '[wrangler:info] GET /%g 200 OK (1ms)' 1 1000000"),
            false);
}
BENCHMARK(BM_MillionLinesDeliveredOnly)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// 100 MB of a progress line redrawn with carriage returns, never a line feed.
void BM_HundredMegabytesOfRedraws(benchmark::State& state)
{
    measure(state, QStringLiteral("yes 'progress 42%' | tr '\\n' '\\r' | head -c 104857600"), true);
}
BENCHMARK(BM_HundredMegabytesOfRedraws)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// 100 MB without any line break, read and split (the 64 KiB pieces are counted, not kept).
void BM_HundredMegabytesWithoutBreaksSplitOnly(benchmark::State& state)
{
    measure(state, QStringLiteral("head -c 104857600 /dev/zero | tr '\\0' x"), false);
}
BENCHMARK(BM_HundredMegabytesWithoutBreaksSplitOnly)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The same through the log: of the 1,600 pieces of 64 KiB, the log keeps what fits its byte
// budget.
void BM_HundredMegabytesWithoutBreaksLogged(benchmark::State& state)
{
    measure(state, QStringLiteral("head -c 104857600 /dev/zero | tr '\\0' x"), true);
}
BENCHMARK(BM_HundredMegabytesWithoutBreaksLogged)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
