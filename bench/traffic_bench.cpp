// The cost of counting a busy server's requests: 10,000 requests a second for a simulated
// minute into one project's traffic figures, as request lines (parsed and counted) and as
// records (counted only), with the summary read once a second as the traffic card does.
// Prints the share of one core the counting takes and how the resident memory moved. Then the
// cost of one read of the traffic card: the summary of a full window and the card's content.
#include "presentation/traffic_card.h"
#include "runs/request_line.h"
#include "runs/traffic_stats.h"

#include <QFile>
#include <QString>
#include <QStringList>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

constexpr int rate = 10'000;
constexpr int seconds = 60;
constexpr qint64 start = 1'800'000'000'000;

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * ::sysconf(_SC_PAGESIZE) : 0;
}

double cpuSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// A varied second of request lines: paths, statuses and latencies that keep the lists of
// slowest and failed requests changing.
QStringList secondOfLines()
{
    QStringList lines;
    lines.reserve(rate);
    for (int i = 0; i < rate; ++i) {
        const int status = i % 97 == 0 ? 500 : i % 13 == 0 ? 404 : 200;
        const char* text = status == 500   ? "Internal Server Error"
                           : status == 404 ? "Not Found"
                                           : "OK";
        lines.append(QStringLiteral("[wrangler:info] GET /api/items/%1 %2 %3 (%4ms)")
                         .arg(i % 500)
                         .arg(status)
                         .arg(QLatin1StringView(text))
                         .arg((i * 7919) % 400));
    }
    return lines;
}

void report(benchmark::State& state, const char* what, double cpu, qint64 afterFirst, qint64 atEnd)
{
    const double corePercent = cpu / seconds * 100.0;
    state.counters["core_percent"] = corePercent;
    state.counters["rss_growth_kB"] = double(atEnd - afterFirst) / 1024.0;
    std::printf("%s: %.3f %% of one core for %d requests a second; resident memory after the "
                "first second %lld kB, after the minute %lld kB\n",
                what, corePercent, rate, static_cast<long long>(afterFirst / 1024),
                static_cast<long long>(atEnd / 1024));
}

void BM_RequestLinesForAMinute(benchmark::State& state)
{
    const QStringList lines = secondOfLines();
    for (auto _ : state) {
        TrafficStats stats;
        double cpu = 0;
        qint64 afterFirst = 0;
        for (int second = 0; second < seconds; ++second) {
            const double before = cpuSeconds();
            for (int i = 0; i < rate; ++i) {
                const qint64 at = start + qint64(second) * 1000 + i / 10;
                if (const std::optional<OutputParser::RequestLine> request =
                        OutputParser::requestLine(lines.at(i)))
                    stats.addRequest(at, request->method, request->path, request->status,
                                     request->durationMs);
            }
            const TrafficSummary summary = stats.summary(start + qint64(second + 1) * 1000);
            benchmark::DoNotOptimize(summary.requests);
            cpu += cpuSeconds() - before;
            if (second == 0)
                afterFirst = residentBytes();
        }
        report(state, "request lines", cpu, afterFirst, residentBytes());
    }
}
BENCHMARK(BM_RequestLinesForAMinute)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_RecordsForAMinute(benchmark::State& state)
{
    const QString method = QStringLiteral("GET");
    const QString path = QStringLiteral("/api/items/42");
    for (auto _ : state) {
        TrafficStats stats;
        double cpu = 0;
        qint64 afterFirst = 0;
        for (int second = 0; second < seconds; ++second) {
            const double before = cpuSeconds();
            for (int i = 0; i < rate; ++i) {
                const qint64 at = start + qint64(second) * 1000 + i / 10;
                stats.addRequest(at, method, path, i % 97 == 0 ? 500 : 200, (i * 7919) % 400);
            }
            const TrafficSummary summary = stats.summary(start + qint64(second + 1) * 1000);
            benchmark::DoNotOptimize(summary.requests);
            cpu += cpuSeconds() - before;
            if (second == 0)
                afterFirst = residentBytes();
        }
        report(state, "records", cpu, afterFirst, residentBytes());
    }
}
BENCHMARK(BM_RecordsForAMinute)->Iterations(1)->Unit(benchmark::kMillisecond);

// The card reads once a second while it is on the screen: a summary of a busy window (five
// minutes at 1,000 requests a second, failures among them) shaped into what the card shows.
void BM_CardReadOfAFullWindow(benchmark::State& state)
{
    TrafficStats stats;
    const QString method = QStringLiteral("GET");
    const QString path = QStringLiteral("/api/items/42");
    for (int second = 0; second < 300; ++second)
        for (int i = 0; i < 1000; ++i)
            stats.addRequest(start + qint64(second) * 1000 + i, method, path,
                             i % 97 == 0 ? 500 : 200, (i * 7919) % 400);
    const qint64 now = start + 300'000;
    for (auto _ : state) {
        const TrafficCardContent card = trafficCard(stats.summary(now), Qt::UTC);
        benchmark::DoNotOptimize(card.figures.size());
    }
}
BENCHMARK(BM_CardReadOfAFullWindow)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
