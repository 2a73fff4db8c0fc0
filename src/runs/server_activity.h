#pragma once

#include "runs/traffic_stats.h"

#include <QObject>
#include <QStringView>

#include <functional>
#include <optional>

// A request as Wrangler's local observability reports it (a root span of a fetch).
struct ObservedRequest
{
    qint64 startMs = 0; // since the Unix epoch
    QString method;
    QString path;
    int status = 0;
    int durationMs = 0;
    QString failure; // the span's error, if any
};

// What a project's dev server is doing: the requests it answers and the processor time its
// processes take. Main thread only.
//
// Requests come from one source at a time: the request lines of the server's output, or,
// once the server has shown that it offers it, its local observability endpoint (which also
// sees the requests of a Vite project, and those made while nothing polled it). Lines that
// arrive while the endpoint is the source are not counted, so nothing counts twice.
class ServerActivity : public QObject
{
    Q_OBJECT

public:
    // Milliseconds since the Unix epoch; the system clock unless a test sets another.
    using Clock = std::function<qint64()>;

    enum class Source { requestLines, endpoint };

    explicit ServerActivity(QObject* parent = nullptr);

    void setClock(Clock clock);
    qint64 now() const { return clock_(); }

    // Reads one line of the server's output for requests, exceptions and error frames.
    void outputLine(QStringView text, bool isError);

    Source source() const { return source_; }
    // From now on requests come from the endpoint; returns the time from which it is asked for
    // them (the lines counted those before).
    qint64 useEndpoint();
    // Back to request lines (the server stopped offering the endpoint, or a new server runs).
    void useRequestLines();
    // The newest start time of the requests taken from the endpoint, or the time it became the
    // source: the next poll asks for what started after it.
    qint64 endpointSeenUntilMs() const { return endpointSeenUntilMs_; }
    void addObserved(const QList<ObservedRequest>& requests);

    TrafficSummary traffic() const { return stats_.summary(now()); }
    // Grows with every request or error counted: a view redraws only when it moved (or time
    // did).
    quint64 revision() const { return revision_; }

    // The processor share of the server's processes, in percent of one core (above 100 with
    // several cores busy), averaged between the last two samples; none before the second.
    std::optional<double> cpuPercent() const { return cpuPercent_; }
    // The server's processes took `ticks` clock ticks of processor time in all, as read at
    // `steadyMs` (a monotonic clock).
    void cpuSampled(quint64 ticks, qint64 steadyMs);
    // When the last sample was read (the clock of cpuSampled); none before the first.
    std::optional<qint64> cpuSampledAtMs() const
    {
        return lastCpu_ ? std::optional<qint64>(lastCpu_->steadyMs) : std::nullopt;
    }
    // The server ended: no share until two new samples.
    void serverEnded();

signals:
    void sourceChanged();
    void cpuPercentChanged();

private:
    struct CpuSample
    {
        quint64 ticks = 0;
        qint64 steadyMs = 0;
    };

    Clock clock_;
    TrafficStats stats_;
    Source source_ = Source::requestLines;
    qint64 endpointSeenUntilMs_ = 0;
    quint64 revision_ = 0;
    std::optional<CpuSample> lastCpu_;
    std::optional<double> cpuPercent_;
};
