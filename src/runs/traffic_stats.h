#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <array>
#include <memory>
#include <optional>

// One request as the traffic figures show it.
struct RequestRecord
{
    qint64 atMs = 0; // when it was answered, in milliseconds since the Unix epoch
    QString method;
    QString path;
    int status = 0;
    int durationMs = 0;
    QString failure; // the uncaught exception behind it, "Name: message"; empty otherwise
    friend bool operator==(const RequestRecord&, const RequestRecord&) = default;
};

struct MinuteTraffic
{
    quint32 requests = 0;
    quint32 errors = 0;
    friend bool operator==(const MinuteTraffic&, const MinuteTraffic&) = default;
};

// What a project's server answered over the last five minutes, and per minute over the hour.
struct TrafficSummary
{
    static constexpr int windowSeconds = 300;
    static constexpr int historyMinutes = 60;
    static constexpr int listed = 5;

    quint64 requests = 0;
    // Responses with status 500 to 599, and uncaught exceptions (counted once with the 500
    // they cause).
    quint64 errors = 0;
    std::array<quint64, 5> statusClasses{}; // 1xx, 2xx, 3xx, 4xx, 5xx
    std::optional<int> p50Ms;               // none without requests
    std::optional<int> p95Ms;
    quint64 errorLogs = 0; // "✘ [ERROR]" lines: console.error and Wrangler's own errors
    // Oldest first; the last is the minute under way.
    std::array<MinuteTraffic, historyMinutes> perMinute{};
    QList<RequestRecord> slowest; // slowest first
    QList<RequestRecord> failed;  // latest first

    bool empty() const { return requests == 0 && errors == 0 && errorLogs == 0; }
};

// Counts the requests of one server in fixed memory whatever the rate: ten-second slots for the
// five-minute window (counts, a latency histogram and the slowest five of each slot), minute
// slots for the hour, and the last few failures. Times are milliseconds since the Unix epoch;
// a time earlier than the window or the hour still counts where it falls inside, so requests
// reported late (by a poll) land in their own minute. Not thread-safe.
class TrafficStats
{
public:
    TrafficStats();
    ~TrafficStats();
    TrafficStats(const TrafficStats&) = delete;
    TrafficStats& operator=(const TrafficStats&) = delete;

    void addRequest(qint64 atMs, QStringView method, QStringView path, int status, int durationMs);
    // A request whose handler threw, as local observability reports it (exception and response
    // together): one error whatever the status, listed with `failure`.
    void addFailedRequest(qint64 atMs, QStringView method, QStringView path, int status,
                          int durationMs, QStringView failure);
    // An uncaught exception: an error at once; the next 5xx response within two seconds is
    // the request it broke, and counts no second error.
    void addException(qint64 atMs, QStringView name, QStringView message);
    void addErrorLog(qint64 atMs);
    void clear();

    TrafficSummary summary(qint64 nowMs) const;

    // Paths longer than this are cut: a path is shown, not matched.
    static constexpr qsizetype maxPathLength = 512;

private:
    struct Slot;
    struct Minute
    {
        qint64 number = -1;
        MinuteTraffic counts;
    };

    Slot* slotFor(qint64 atMs);
    Minute* minuteFor(qint64 atMs);
    void countError(qint64 atMs);
    void add(qint64 atMs, QStringView method, QStringView path, int status, int durationMs,
             std::optional<QString> thrown);

    std::unique_ptr<Slot[]> slots_; // made on the first request
    std::array<Minute, TrafficSummary::historyMinutes> minutes_{};
    qint64 latestSlot_ = -1;
    qint64 latestMinute_ = -1;
    QList<RequestRecord> failed_; // latest first, at most `listed`
    qint64 exceptionAtMs_ = 0;
    QString pendingException_; // waiting for its 500
};
