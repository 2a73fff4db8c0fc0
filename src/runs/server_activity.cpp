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
        stats_.addRequest(now(), request->method, request->path, request->status,
                          request->durationMs);
        ++revision_;
    } else if (const std::optional<OutputParser::UncaughtException> thrown =
                   OutputParser::uncaughtException(text)) {
        stats_.addException(now(), thrown->name, thrown->message);
        ++revision_;
    }
}

qint64 ServerActivity::useEndpoint()
{
    if (source_ == Source::endpoint)
        return endpointSeenUntilMs_;
    source_ = Source::endpoint;
    endpointSeenUntilMs_ = now();
    emit sourceChanged();
    return endpointSeenUntilMs_;
}

void ServerActivity::useRequestLines()
{
    if (source_ == Source::requestLines)
        return;
    source_ = Source::requestLines;
    emit sourceChanged();
}

void ServerActivity::addObserved(const QList<ObservedRequest>& requests)
{
    for (const ObservedRequest& request : requests) {
        // Asked for what started after the last poll; a repeat is not counted again.
        if (request.startMs <= endpointSeenUntilMs_)
            continue;
        const qint64 answeredMs = request.startMs + std::max(request.durationMs, 0);
        if (!request.failure.isEmpty() && request.status >= 500)
            stats_.addException(answeredMs, request.failure, {});
        stats_.addRequest(answeredMs, request.method, request.path, request.status,
                          request.durationMs);
        ++revision_;
    }
    for (const ObservedRequest& request : requests)
        endpointSeenUntilMs_ = std::max(endpointSeenUntilMs_, request.startMs);
}

void ServerActivity::cpuSampled(quint64 ticks, qint64 steadyMs)
{
    static const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    const CpuSample sample{ticks, steadyMs};
    if (lastCpu_ && steadyMs > lastCpu_->steadyMs && ticksPerSecond > 0) {
        // A process that ended since the last sample takes its ticks with it: the sum may
        // shrink, which is no negative share.
        const quint64 spent = ticks > lastCpu_->ticks ? ticks - lastCpu_->ticks : 0;
        const double percent = double(spent) * 1000.0 / double(ticksPerSecond) /
                               double(steadyMs - lastCpu_->steadyMs) * 100.0;
        if (assignIfChanged(cpuPercent_, std::optional<double>(std::round(percent * 10) / 10)))
            emit cpuPercentChanged();
    }
    if (!lastCpu_ || steadyMs > lastCpu_->steadyMs)
        lastCpu_ = sample;
}

void ServerActivity::serverEnded()
{
    lastCpu_.reset();
    if (assignIfChanged(cpuPercent_, std::nullopt))
        emit cpuPercentChanged();
    useRequestLines();
}
