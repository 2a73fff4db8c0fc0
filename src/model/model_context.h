#pragma once

#include "base/environment.h"
#include "desktop/desktop_services.h"
#include "discovery/root_watcher.h"
#include "model/model_services.h"
#include "supervision/termination_timing.h"

#include <chrono>
#include <functional>
#include <memory>

class ProcessTable;

// Everything the model takes from outside, handed to it at construction (no singletons).
struct AppModelContext
{
    // The process environment read at launch (TALLOWMERE_DEMO, PATH for the fallback
    // environment, ...). Tests pass a controlled one. The data files live in the support
    // directory, which follows TALLOWMERE_SUPPORT_DIR of the process (see storage/storage.h).
    Environment environment;
    // Modal alerts, appearance and taskbar policy, workspace operations. May be null in tests
    // that do not exercise them: the model then behaves as if no window system existed.
    DesktopServices desktop;
    // What is stored and found: the system's, unless TALLOWMERE_DEMO in `environment` asks for
    // demo mode, whose services store nothing and find nothing.
    ModelServices services = systemServices();
    // How long a start waits for a recognisable line before the project is shown as running.
    std::chrono::milliseconds readyFallbackDelay{20000};
    // How long after a rescan the selection is checked again.
    std::chrono::milliseconds selectionRepairDelay{200};
    // Pause before the external servers are looked at again after one was stopped.
    std::chrono::milliseconds externalRefreshDelay{1500};
    // A restart of a server started elsewhere waits for it to go for up to 80 of these.
    std::chrono::milliseconds restartCheckInterval{100};
    // Escalation of stops (SIGTERM polls, SIGKILL polls) in the process manager.
    TerminationTiming processTiming;
    // A view of the process table (start times and groups of pids); the services' unless
    // replaced.
    std::function<std::unique_ptr<ProcessTable>()> processTable;
    // Event batching and debounce of the root watcher.
    RootWatcherTiming watcherTiming;
    // Limit of the login-shell capture at start-up and on reload.
    std::chrono::milliseconds shellCaptureLimit{8000};
    // Pause between two refreshes of the servers started elsewhere while the window is shown.
    std::chrono::milliseconds pollInterval{5000};
};

// The context for the running application: the real process environment and default delays.
AppModelContext defaultAppModelContext(DesktopServices desktop);

// Whether the context's environment asks for demo mode (TALLOWMERE_DEMO, with any value).
bool asksForDemo(const AppModelContext& context);
