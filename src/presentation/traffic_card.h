#pragma once

#include "runs/traffic_stats.h"

#include <QList>
#include <QString>

#include <array>

// How a response status reads on the traffic card.
enum class StatusTone { success, redirect, clientError, serverError };
StatusTone statusTone(int status);

// One figure of the card's top row: "Requests / min" over "12".
struct TrafficFigure
{
    QString label;
    QString value;
    bool alert = false; // drawn in the error colour

    friend bool operator==(const TrafficFigure&, const TrafficFigure&) = default;
};

// One request in the card's lists.
struct TrafficRequestRow
{
    QString method;
    QString path;
    QString status; // "500"
    StatusTone tone = StatusTone::success;
    QString time;   // the slowest: how long it took ("842 ms"); the failed: when ("14:02:11")
    QString detail; // the tooltip: method and whole path, then the uncaught exception if any

    friend bool operator==(const TrafficRequestRow&, const TrafficRequestRow&) = default;
};

// What the Overview's traffic card shows for a running server: the figures of the last five
// minutes, requests per minute over the hour, and the slowest and latest failed requests of
// the five minutes.
struct TrafficCardContent
{
    // Nothing answered in the whole hour: the card shows only `emptyText`.
    bool empty = true;
    QString emptyText;
    QString windowCaption;        // "Last 5 minutes"
    QList<TrafficFigure> figures; // requests per minute, error share, p50, p95
    // Oldest first; the last is the minute under way.
    std::array<MinuteTraffic, TrafficSummary::historyMinutes> perMinute{};
    QString historyCaption;           // "Requests per minute, last hour · peak 34"
    QList<TrafficRequestRow> slowest; // slowest first
    QString slowestEmpty;             // shown instead of an empty list
    QList<TrafficRequestRow> failed;  // latest first
    QString failedEmpty;

    friend bool operator==(const TrafficCardContent&, const TrafficCardContent&) = default;
};

// The card for `summary`; times of day are written on `clock` (local time in the window).
TrafficCardContent trafficCard(const TrafficSummary& summary, Qt::TimeSpec clock = Qt::LocalTime);

// The sidebar's figure for a running server: its requests per minute over the last five
// minutes ("12/min"); empty when it answered none.
QString sidebarTrafficText(const TrafficSummary& summary);

// The sparkline's tooltip for one minute, `minutesAgo` before the one under way:
// "23 requests, 1 error · 17 min ago", "1 request · this minute".
QString minuteText(const MinuteTraffic& minute, int minutesAgo);

// "0", "0.4", "12": one decimal below ten.
QString requestRateText(double perMinute);
// "0%", "0.4%", "12%", "100%".
QString errorShareText(quint64 errors, quint64 requests);
// "14 ms", "1.2 s", "12 s".
QString durationText(int ms);
