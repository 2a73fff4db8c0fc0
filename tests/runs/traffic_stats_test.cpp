#include "runs/traffic_stats.h"

#include <gtest/gtest.h>

namespace {

constexpr qint64 minute = 60'000;
// A round start, so that slot and minute boundaries are easy to see.
constexpr qint64 start = 1'800'000'000'000;

} // namespace

TEST(TrafficStats, AWindowOfRequestsWithFailuresPercentilesAndLists)
{
    TrafficStats stats;
    EXPECT_TRUE(stats.summary(start).empty());
    EXPECT_FALSE(stats.summary(start).p50Ms);

    // 100 requests of 1..100 ms, every tenth a 500, one a 404, one a 302.
    for (int i = 1; i <= 100; ++i) {
        const int status = i % 10 == 0 ? 500 : i == 7 ? 404 : i == 8 ? 302 : 200;
        stats.addRequest(start + qint64(i) * 100, u"GET", QStringLiteral("/r%1").arg(i), status, i);
    }
    TrafficSummary summary = stats.summary(start + 20'000);
    EXPECT_EQ(summary.requests, 100u);
    EXPECT_EQ(summary.errors, 10u);
    EXPECT_EQ(summary.statusClasses, (std::array<quint64, 5>{0, 88, 1, 1, 10}));
    // Within a sixteenth of the exact values, 50 and 95.
    ASSERT_TRUE(summary.p50Ms && summary.p95Ms);
    EXPECT_NEAR(*summary.p50Ms, 50, 3);
    EXPECT_NEAR(*summary.p95Ms, 95, 6);
    ASSERT_EQ(summary.slowest.size(), 5);
    EXPECT_EQ(summary.slowest.first().path, u"/r100");
    EXPECT_EQ(summary.slowest.last().path, u"/r96");
    ASSERT_EQ(summary.failed.size(), 5);
    EXPECT_EQ(summary.failed.first().path, u"/r100");
    EXPECT_EQ(summary.failed.last().path, u"/r60");
    EXPECT_EQ(summary.perMinute.back(), (MinuteTraffic{100, 10}));

    // A slow request later stays listed while it is in the window, then leaves it.
    stats.addRequest(start + 2 * minute, u"POST", u"/slow", 200, 9000);
    summary = stats.summary(start + 2 * minute);
    EXPECT_EQ(summary.slowest.first().path, u"/slow");
    EXPECT_EQ(summary.requests, 101u);
    summary = stats.summary(start + 6 * minute);
    EXPECT_EQ(summary.requests, 1u) << "only the slow one is within five minutes";
    EXPECT_EQ(summary.slowest.size(), 1);
    EXPECT_TRUE(summary.failed.isEmpty());
    EXPECT_EQ(*summary.p50Ms, *summary.p95Ms);
    EXPECT_NEAR(*summary.p50Ms, 9000, 9000.0 / 16);
    // The hour still shows both minutes, oldest first.
    EXPECT_EQ(summary.perMinute[TrafficSummary::historyMinutes - 7], (MinuteTraffic{100, 10}));
    EXPECT_EQ(summary.perMinute[TrafficSummary::historyMinutes - 5], (MinuteTraffic{1, 0}));

    // After the hour nothing is left; the figures come back empty, not stale.
    summary = stats.summary(start + 63 * minute);
    EXPECT_TRUE(summary.empty());
    for (const MinuteTraffic& counts : summary.perMinute)
        EXPECT_EQ(counts, MinuteTraffic{});

    // New traffic after a long pause reuses the slots without the old counts.
    stats.addRequest(start + 120 * minute, u"GET", u"/", 200, 1);
    summary = stats.summary(start + 120 * minute);
    EXPECT_EQ(summary.requests, 1u);
    EXPECT_EQ(summary.perMinute.back(), (MinuteTraffic{1, 0}));
}

TEST(TrafficStats, AnExceptionCountsOnceWithTheFiveHundredItCauses)
{
    TrafficStats stats;
    stats.addException(start, u"TypeError", u"x is undefined");
    stats.addRequest(start + 5, u"GET", u"/boom", 500, 4);
    // An exception whose request answered otherwise (after the response, say) is still one
    // error, and a 500 long after it is an error of its own.
    stats.addException(start + 1000, u"RangeError", u"late");
    stats.addRequest(start + 9000, u"GET", u"/other", 503, 1);
    stats.addErrorLog(start + 9000);

    const TrafficSummary summary = stats.summary(start + 10'000);
    EXPECT_EQ(summary.requests, 2u);
    EXPECT_EQ(summary.errors, 3u);
    EXPECT_EQ(summary.errorLogs, 1u);
    ASSERT_EQ(summary.failed.size(), 2);
    EXPECT_EQ(summary.failed[0].path, u"/other");
    EXPECT_TRUE(summary.failed[0].failure.isEmpty());
    EXPECT_EQ(summary.failed[1].failure, u"TypeError: x is undefined");
}

TEST(TrafficStats, LateAndOddInputStaysInBounds)
{
    TrafficStats stats;
    stats.addRequest(start + 30 * minute, u"GET", u"/now", 200, 5);
    // Reported late (by a poll): inside the hour, it lands in its own minute; before the
    // window it is in no window figure; before the hour, nowhere.
    stats.addRequest(start + 20 * minute, u"GET", u"/late", 200, 5);
    stats.addRequest(start - 40 * minute, u"GET", u"/ancient", 500, 5);
    // Negative times and durations, unknown statuses and an endless path.
    stats.addRequest(-5, u"GET", u"/neg", 200, 1);
    stats.addRequest(start + 30 * minute, u"GET", QString(100'000, QLatin1Char('p')), 999, -3);

    const TrafficSummary summary = stats.summary(start + 30 * minute);
    EXPECT_EQ(summary.requests, 2u);
    EXPECT_EQ(summary.errors, 0u);
    EXPECT_EQ(summary.statusClasses[1], 1u) << "999 is in no class";
    EXPECT_EQ(summary.perMinute.back().requests, 2u);
    EXPECT_EQ(summary.perMinute[TrafficSummary::historyMinutes - 11].requests, 1u);
    ASSERT_EQ(summary.slowest.size(), 2);
    EXPECT_EQ(summary.slowest.last().path.size(), TrafficStats::maxPathLength);
    EXPECT_EQ(summary.slowest.last().durationMs, 0);

    stats.clear();
    EXPECT_TRUE(stats.summary(start + 30 * minute).empty());
}
