#include "runs/output_handling.h"
#include "runs/project_runtime.h"
#include "support/qt_gtest_printers.h"

#include <QSignalSpy>

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

constexpr qint64 start = 1'800'000'000'000;

void feed(ProjectRuntime& runtime, const QStringList& lines, bool isError = false)
{
    OutputLines batch;
    for (const QString& line : lines)
        batch.append(OutputLine{line, isError});
    handleOutputLines(runtime, batch, RunModeKind::wrangler, OutputHooks{});
}

} // namespace

TEST(ServerActivity, OutputLinesThenTheEndpointCountEachRequestOnce)
{
    ProjectRuntime runtime;
    qint64 now = start;
    ServerActivity& activity = *runtime.activity();
    activity.setClock([&now] { return now; });
    (void)runtime.startAccepted("wrangler dev");
    runtime.spawned(4242);

    feed(runtime,
         {"[wrangler:info] Ready on http://localhost:8787", "[wrangler:info] GET / 200 OK (3ms)",
          "[wrangler:error] Error: boom", "    at fetch (index.js:4:11)",
          "[wrangler:info] GET /boom 500 Internal Server Error (9ms)",
          "[my-worker] [wrangler:info] GET /fake 200 OK (1ms)"});
    feed(runtime, {"✘ [ERROR] console.error from the Worker"}, true);
    TrafficSummary traffic = activity.traffic();
    EXPECT_EQ(traffic.requests, 2u);
    EXPECT_EQ(traffic.errors, 1u);
    EXPECT_EQ(traffic.errorLogs, 1u);
    ASSERT_EQ(traffic.failed.size(), 1);
    EXPECT_EQ(traffic.failed.first().failure, u"Error: boom");

    // The endpoint takes over from the last line counted: lines no longer count, its
    // requests do, each once.
    const qint64 lastLine = now;
    now += 1000;
    QSignalSpy sourceChanged(&activity, &ServerActivity::sourceChanged);
    using LocalObservability::Span;
    const auto span = [](qint64 rowid, qint64 startMs, int status, const char* path,
                         const char* error = "") {
        return Span{rowid,
                    startMs,
                    12,
                    QStringLiteral("exception"),
                    QString::fromUtf8(error),
                    QStringLiteral("GET"),
                    QStringLiteral("http://localhost:8787") + path,
                    status};
    };
    LocalObservability::Answer answer;
    answer.spans = {
        span(1, lastLine - 10, 200, "/before"), // the lines counted it
        span(2, lastLine + 5, 200, "/a"),
        span(3, lastLine + 8, 0, "/b", "TypeError: x"), // one error, and a 500
    };
    answer.spans[1].outcome = QStringLiteral("ok");
    EXPECT_FALSE(activity.addObserved(answer));
    EXPECT_EQ(activity.source(), ServerActivity::Source::endpoint);
    EXPECT_EQ(sourceChanged.count(), 1);
    const quint64 revision = activity.revision();
    feed(runtime, {"[wrangler:info] GET / 200 OK (3ms)"});
    EXPECT_FALSE(activity.addObserved(answer)) << "a repeated answer";
    EXPECT_EQ(activity.revision(), revision);
    traffic = activity.traffic();
    EXPECT_EQ(traffic.requests, 4u);
    EXPECT_EQ(traffic.errors, 2u);
    EXPECT_EQ(traffic.statusClasses[4], 2u);
    EXPECT_EQ(traffic.failed.first().path, u"/b");
    EXPECT_EQ(traffic.failed.first().failure, u"TypeError: x");

    // The server ends: back to lines for the next one; the figures stay the project's.
    runtime.exited(0, true, [](qint32) { return false; });
    EXPECT_EQ(runtime.status(), ProjectStatus::stopped());
    EXPECT_EQ(activity.source(), ServerActivity::Source::requestLines);
    EXPECT_EQ(activity.traffic().requests, 4u);

    // The next run asks only for spans from its own start: the server keeps the old ones.
    now += 60'000;
    (void)runtime.startAccepted("wrangler dev");
    EXPECT_EQ(activity.endpointCursor().fromMs(), now);
    EXPECT_EQ(activity.endpointCursor().lastRowid(), 0);
}

TEST(ServerActivity, ProcessorShareIsAveragedBetweenSamples)
{
    ProjectRuntime runtime;
    ServerActivity& activity = *runtime.activity();
    const quint64 perSecond = quint64(::sysconf(_SC_CLK_TCK));
    QSignalSpy changed(&activity, &ServerActivity::cpuPercentChanged);

    activity.cpuSampled(1000, 5000);
    EXPECT_FALSE(activity.cpuPercent()) << "one sample is no average";
    // Half a core over two seconds, then one and a half cores.
    activity.cpuSampled(1000 + perSecond, 7000);
    EXPECT_EQ(activity.cpuPercent(), 50.0);
    activity.cpuSampled(1000 + perSecond * 4, 9000);
    EXPECT_EQ(activity.cpuPercent(), 150.0);
    // A process that ended took its ticks along: no negative share. A sample from the same
    // moment (or earlier) is no period.
    activity.cpuSampled(10, 10000);
    EXPECT_EQ(activity.cpuPercent(), 0.0);
    activity.cpuSampled(99999, 10000);
    EXPECT_EQ(activity.cpuPercent(), 0.0);
    EXPECT_EQ(changed.count(), 3);

    (void)runtime.startAccepted("wrangler dev");
    runtime.spawned(4242);
    runtime.exited(1, false, [](qint32) { return false; });
    EXPECT_EQ(runtime.status().kind(), ProjectStatus::Kind::error);
    EXPECT_FALSE(activity.cpuPercent());
    activity.cpuSampled(5, 20000);
    EXPECT_FALSE(activity.cpuPercent()) << "the old server's sample is gone";
}
