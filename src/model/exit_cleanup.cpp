#include "model/exit_cleanup.h"

#include "storage/running_record.h"
#include "supervision/live_groups.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

namespace {

// What an exiting process can afford: 1.5 s of SIGTERM, then SIGKILL, 2 s in all.
constexpr int termMs = 1500;
constexpr int totalMs = 2000;

void stopAtExit()
{
    const std::vector<pid_t> gone = LiveGroups::stopAllNow(termMs, totalMs);
    if (gone.empty())
        return;
    QList<RunningRecord> records = loadRunningRecords();
    const qsizetype removed = records.removeIf([&](const RunningRecord& record) {
        return std::find(gone.begin(), gone.end(), record.pid) != gone.end();
    });
    if (removed > 0)
        saveRunningRecords(records);
}

} // namespace

void installExitCleanup()
{
    static std::atomic<bool> installed = false;
    if (installed.exchange(true))
        return;
    LiveGroups::installFatalSignalHandler();
    std::atexit(&stopAtExit);
}
