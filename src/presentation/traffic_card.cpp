#include "presentation/traffic_card.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace {

constexpr int windowMinutes = TrafficSummary::windowSeconds / 60;

QString oneDecimalBelowTen(double value)
{
    if (value >= 9.95)
        return QString::number(qint64(std::llround(value)));
    const double tenths = std::round(value * 10.0) / 10.0;
    if (tenths == std::floor(tenths))
        return QString::number(qint64(tenths));
    return QString::number(tenths, 'f', 1);
}

TrafficRequestRow requestRow(const RequestRecord& record, QString time)
{
    TrafficRequestRow row;
    row.method = record.method;
    row.path = record.path;
    row.status = QString::number(record.status);
    row.tone = statusTone(record.status);
    row.time = std::move(time);
    row.detail = record.method + QLatin1Char(' ') + record.path;
    if (!record.failure.isEmpty())
        row.detail += QLatin1Char('\n') + record.failure;
    return row;
}

} // namespace

StatusTone statusTone(int status)
{
    if (status >= 500)
        return StatusTone::serverError;
    if (status >= 400)
        return StatusTone::clientError;
    if (status >= 300)
        return StatusTone::redirect;
    return StatusTone::success;
}

QString requestRateText(double perMinute)
{
    return oneDecimalBelowTen(std::max(perMinute, 0.0));
}

QString errorShareText(quint64 errors, quint64 requests)
{
    if (errors == 0 || requests == 0)
        return errors == 0 ? QStringLiteral("0%") : QStringLiteral("100%");
    // An exception without its response counts as an error of no request: never above all.
    const double percent = std::min(100.0, double(errors) * 100.0 / double(requests));
    // A single failure among thousands still shows as more than none.
    if (percent < 0.1)
        return QStringLiteral("0.1%");
    return oneDecimalBelowTen(percent) + QLatin1Char('%');
}

QString durationText(int ms)
{
    if (ms < 1000)
        return QString::number(std::max(ms, 0)) + QStringLiteral(" ms");
    return oneDecimalBelowTen(ms / 1000.0) + QStringLiteral(" s");
}

QString minuteText(const MinuteTraffic& minute, int minutesAgo)
{
    QString text =
        QString::number(minute.requests) +
        (minute.requests == 1 ? QStringLiteral(" request") : QStringLiteral(" requests"));
    if (minute.errors > 0)
        text += QStringLiteral(", %1 ").arg(minute.errors) +
                (minute.errors == 1 ? QStringLiteral("error") : QStringLiteral("errors"));
    return text + QStringLiteral(" · ") +
           (minutesAgo <= 0 ? QStringLiteral("this minute")
                            : QStringLiteral("%1 min ago").arg(minutesAgo));
}

QString sidebarTrafficText(const TrafficSummary& summary)
{
    if (summary.requests == 0)
        return {};
    return requestRateText(double(summary.requests) / windowMinutes) + QStringLiteral("/min");
}

TrafficCardContent trafficCard(const TrafficSummary& summary, Qt::TimeSpec clock)
{
    TrafficCardContent card;
    card.perMinute = summary.perMinute;
    quint32 peak = 0;
    bool answeredInHour = false;
    for (const MinuteTraffic& minute : summary.perMinute) {
        peak = std::max(peak, minute.requests);
        answeredInHour = answeredInHour || minute.requests > 0 || minute.errors > 0;
    }
    card.empty = !answeredInHour && summary.requests == 0 && summary.errors == 0;
    card.emptyText = QStringLiteral("No requests yet");
    card.windowCaption = QStringLiteral("Last %1 minutes").arg(windowMinutes);
    if (card.empty)
        return card;

    const QString none = QStringLiteral("—");
    card.figures = {
        {QStringLiteral("Requests / min"),
         requestRateText(double(summary.requests) / windowMinutes), false},
        {QStringLiteral("Errors"),
         summary.requests == 0 && summary.errors == 0
             ? none
             : errorShareText(summary.errors, summary.requests),
         summary.errors > 0},
        {QStringLiteral("p50"), summary.p50Ms ? durationText(*summary.p50Ms) : none, false},
        {QStringLiteral("p95"), summary.p95Ms ? durationText(*summary.p95Ms) : none, false},
    };
    card.historyCaption = QStringLiteral("Requests per minute, last hour · peak %1").arg(peak);

    for (const RequestRecord& record : summary.slowest)
        card.slowest.append(requestRow(record, durationText(record.durationMs)));
    for (const RequestRecord& record : summary.failed)
        card.failed.append(requestRow(
            record, QDateTime::fromMSecsSinceEpoch(record.atMs, clock).toString(u"HH:mm:ss")));
    card.slowestEmpty = QStringLiteral("No requests in the last %1 minutes").arg(windowMinutes);
    card.failedEmpty = QStringLiteral("No failed requests");
    return card;
}
