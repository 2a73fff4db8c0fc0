#include "supervision/live_groups.h"

#include "supervision/process_groups.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

namespace LiveGroups {

namespace {

// Zero marks a free slot.
std::atomic<pid_t> slots[capacity];
static_assert(std::atomic<pid_t>::is_always_lock_free, "the signal handler reads the slots");

constexpr int fatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
struct sigaction previous[std::size(fatalSignals)];
std::atomic<bool> installed = false;

void onFatalSignal(int signalNumber)
{
    for (const std::atomic<pid_t>& slot : slots) {
        const pid_t pgid = slot.load(std::memory_order_relaxed);
        if (pgid > 1)
            ::kill(-pgid, SIGTERM);
    }
    for (std::size_t i = 0; i < std::size(fatalSignals); ++i)
        if (fatalSignals[i] == signalNumber)
            ::sigaction(signalNumber, &previous[i], nullptr);
    // Delivered once this handler returns (the signal is blocked while it runs); a fault
    // repeats anyway when the faulting instruction runs again.
    ::raise(signalNumber);
}

bool anyAlive(const std::vector<pid_t>& groups)
{
    for (const pid_t pgid : groups)
        if (ProcessGroups::groupAlive(pgid))
            return true;
    return false;
}

} // namespace

void add(pid_t pgid)
{
    if (pgid <= 1)
        return;
    for (std::atomic<pid_t>& slot : slots) {
        pid_t expected = 0;
        if (slot.compare_exchange_strong(expected, pgid))
            return;
    }
}

void remove(pid_t pgid)
{
    if (pgid <= 1)
        return;
    for (std::atomic<pid_t>& slot : slots) {
        pid_t expected = pgid;
        if (slot.compare_exchange_strong(expected, 0))
            return;
    }
}

std::vector<pid_t> marked()
{
    std::vector<pid_t> groups;
    for (const std::atomic<pid_t>& slot : slots)
        if (const pid_t pgid = slot.load(); pgid > 1)
            groups.push_back(pgid);
    return groups;
}

std::vector<pid_t> stopAllNow(int termMs, int totalMs)
{
    using Clock = std::chrono::steady_clock;
    const auto begun = Clock::now();
    std::vector<pid_t> alive;
    const auto waitUntil = [&](int ms) {
        while (anyAlive(alive) && Clock::now() < begun + std::chrono::milliseconds(ms))
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    };
    for (const pid_t pgid : marked())
        if (ProcessGroups::groupAlive(pgid))
            alive.push_back(pgid);
    for (const pid_t pgid : alive)
        ProcessGroups::signalGroup(pgid, SIGTERM);
    waitUntil(termMs);
    for (const pid_t pgid : alive)
        if (ProcessGroups::groupAlive(pgid))
            ProcessGroups::signalGroup(pgid, SIGKILL);
    waitUntil(totalMs);
    std::vector<pid_t> gone;
    for (const pid_t pgid : alive)
        if (!ProcessGroups::groupAlive(pgid))
            gone.push_back(pgid);
    return gone;
}

void installFatalSignalHandler()
{
    if (installed.exchange(true))
        return;
    struct sigaction action = {};
    action.sa_handler = &onFatalSignal;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(fatalSignals); ++i)
        ::sigaction(fatalSignals[i], &action, &previous[i]);
}

} // namespace LiveGroups
