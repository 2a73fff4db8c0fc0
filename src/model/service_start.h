#pragma once

#include "discovery/start_order.h"

#include <QFuture>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <chrono>
#include <optional>

class AppModel;

// How a start with local services went.
struct ServiceStartOutcome
{
    struct Started
    {
        QString path;
        std::optional<QUrl> address;
        bool registered = false; // its Worker appeared in the dev registry in time
    };
    // The projects this start started, in start order; those already running are not listed.
    QList<Started> started;
    QList<UnresolvedWorker> unresolved; // bindings that reach no registered project
    QList<QStringList> cycles;          // projects started together because they need each other
    // Why the start stopped early ("api: Exited with code 1"); later steps were not started.
    std::optional<QString> failure;

    bool ok() const { return !failure; }
};

struct ServiceStartTiming
{
    // A project that runs but whose Worker does not register within this time (a dev command
    // that is not Wrangler's or the Vite plugin's) is taken as ready all the same.
    std::chrono::milliseconds registrationGrace{15000};
    // The longest wait for one step to run.
    std::chrono::milliseconds stepLimit{180000};
};

// Starts `path` after every registered project it needs (serviceStartPlan), step by step:
// each step's projects are started together (those already running are left as they are) and
// awaited until they run and their Workers are registered, then the next step starts. The
// future resolves on the main thread once the project runs, or a step failed.
QFuture<ServiceStartOutcome> startWithServices(AppModel& model, const QString& path,
                                               ServiceStartTiming timing = {});

// The notes a start prints beside its results: bindings that reach no local project, and
// projects started together.
QStringList serviceStartNotes(const AppModel& model, const ServiceStartOutcome& outcome);
