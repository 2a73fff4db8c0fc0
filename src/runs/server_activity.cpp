#include "runs/server_activity.h"

#include "base/change_only.h"
#include "runs/request_line.h"

#include <QDateTime>

#include <cmath>
#include <unistd.h>

ServerActivity::ServerActivity(QObject* parent)
    : QObject(parent), clock_([] { return QDateTime::currentMSecsSinceEpoch(); })
{}

void ServerActivity::setClock(Clock clock)
{
    clock_ = std::move(clock);
}

void ServerActivity::outputLine(QStringView text, bool isError)
{
    if (isError) {
        // Frames are counted whatever the source: the endpoint has no such figure.
        if (OutputParser::errorLog(text)) {
            stats_.addErrorLog(now());
            ++revision_;
        }
        return;
    }
    if (source_ != Source::requestLines || !text.startsWith(u"[wrangler"))
        return;
    if (const std::optional<OutputParser::RequestLine> request = OutputParser::requestLine(text)) {
        lastLineMs_ = now();
        stats_.addRequest(lastLineMs_, request->method, request->path, request->status,
                          request->durationMs);
        ++revision_;
    } else if (const std::optional<OutputParser::UncaughtException> thrown =
                   OutputParser::uncaughtException(text)) {
        stats_.addException(now(), thrown->name, thrown->message);
        ++revision_;
    }
}

ObservabilityCursor ServerActivity::endpointCursor() const
{
    if (source_ == Source::endpoint)
        return cursor_;
    ObservabilityCursor cursor(cursor_);
    cursor.raiseFrom(lastLineMs_ ? lastLineMs_ : runStartMs_);
    return cursor;
}

void ServerActivity::useEndpoint()
{
    if (source_ == Source::endpoint)
        return;
    cursor_ = endpointCursor();
    source_ = Source::endpoint;
    emit sourceChanged();
}

void ServerActivity::useRequestLines()
{
    if (source_ == Source::requestLines)
        return;
    source_ = Source::requestLines;
    // Lines count from now on; a later return to the endpoint starts after the last of them.
    lastLineMs_ = std::max(lastLineMs_, now());
    emit sourceChanged();
}

bool ServerActivity::addObserved(const LocalObservability::Answer& answer)
{
    if (source_ != Source::endpoint)
        useEndpoint();
    bool more = false;
    for (const ObservedRequest& request : cursor_.take(answer, &more)) {
        // Counted when answered, like a request line.
        const qint64 answeredMs = request.startMs + request.durationMs;
        if (request.failure.isEmpty())
            stats_.addRequest(answeredMs, request.method, request.path, request.status,
                              request.durationMs);
        else
            stats_.addFailedRequest(answeredMs, request.method, request.path,
                                    request.status ? request.status : 500, request.durationMs,
                                    request.failure);
        ++revision_;
    }
    return more;
}

void ServerActivity::serverBegan()
{
    if (runStartMs_ != 0)
        return;
    runStartMs_ = now();
    lastLineMs_ = 0;
    cursor_ = ObservabilityCursor(runStartMs_);
    ++runNumber_;
}

void ServerActivity::cpuSampled(quint64 ticks, qint64 steadyMs)
{
    static const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    const CpuSample sample{ticks, steadyMs};
    if (lastCpu_ && steadyMs - lastCpu_->steadyMs < minCpuWindowMs)
        return;
    if (lastCpu_ && ticksPerSecond > 0) {
        // A process that ended since the last sample takes its ticks with it: the sum may
        // shrink, which is no negative share.
        const quint64 spent = ticks > lastCpu_->ticks ? ticks - lastCpu_->ticks : 0;
        const double percent = double(spent) * 1000.0 / double(ticksPerSecond) /
                               double(steadyMs - lastCpu_->steadyMs) * 100.0;
        if (assignIfChanged(cpuPercent_, std::optional<double>(std::round(percent * 10) / 10)))
            emit cpuPercentChanged();
    }
    lastCpu_ = sample;
}

void ServerActivity::serverEnded()
{
    lastCpu_.reset();
    if (assignIfChanged(cpuPercent_, std::nullopt))
        emit cpuPercentChanged();
    useRequestLines();
    runStartMs_ = 0;
    lastLineMs_ = 0;
    cursor_ = ObservabilityCursor();
    ++runNumber_;
}
