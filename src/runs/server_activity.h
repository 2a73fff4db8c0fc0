#pragma once

#include "runs/local_observability.h"
#include "runs/traffic_stats.h"

#include <QObject>
#include <QStringView>

#include <functional>
#include <optional>

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
    // The endpoint becomes the source. Its spans are taken from the last request line counted
    // in this run on (or from the run's start, when no line was), so nothing counts twice.
    void useEndpoint();
    // Back to request lines (the server stopped offering the endpoint, or a new server runs).
    void useRequestLines();
    // Where the next read of the endpoint starts: a cursor of this run. While the lines are
    // the source it is the one `useEndpoint` would start with.
    ObservabilityCursor endpointCursor() const;
    // Takes an answer of the endpoint read with `endpointCursor()`: counts the requests that
    // closed since the last one (only while the endpoint is the source) and advances the
    // cursor. Returns whether a full page came back (more are waiting).
    bool addObserved(const LocalObservability::Answer& answer);
    // Every server run counts from its own start: the dev server keeps its spans across runs.
    // Called when a server becomes active; a run already under way keeps its start.
    void serverBegan();
    // Changes with every run, so that a poll answered after its server ended is dropped.
    quint64 runNumber() const { return runNumber_; }

    TrafficSummary traffic() const { return stats_.summary(now()); }
    // Grows with every request or error counted: a view redraws only when it moved (or time
    // did).
    quint64 revision() const { return revision_; }

    // The processor share of the server's processes, in percent of one core (above 100 with
    // several cores busy), averaged between the last two samples; none before the second.
    std::optional<double> cpuPercent() const { return cpuPercent_; }
    // The server's processes took `ticks` clock ticks of processor time in all, as read at
    // `steadyMs` (a monotonic clock). A sample closer than `minCpuWindowMs` to the last one
    // is ignored: clock ticks come every 10 ms, so a shorter window gives no meaningful share.
    void cpuSampled(quint64 ticks, qint64 steadyMs);
    static constexpr qint64 minCpuWindowMs = 200;
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
    ObservabilityCursor cursor_;
    qint64 runStartMs_ = 0; // 0 while no server runs
    qint64 lastLineMs_ = 0; // the last request line counted in this run
    quint64 runNumber_ = 0;
    quint64 revision_ = 0;
    std::optional<CpuSample> lastCpu_;
    std::optional<double> cpuPercent_;
};
