#include "supervision/process_groups.h"

#include "supervision/external/proc_stat.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <unistd.h>

namespace ProcessGroups {

namespace {

// Whether some member of the group is in any state but zombie ('Z') or dead ('X').
bool hasLivingMember(pid_t pgid)
{
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return true; // cannot tell: trust the kernel's answer
    bool living = false;
    while (const dirent* entry = ::readdir(proc)) {
        const char first = entry->d_name[0];
        if (first < '0' || first > '9')
            continue;
        const std::optional<ProcStat> stat = readProcStat(std::atoi(entry->d_name));
        if (!stat || stat->pgid != pgid)
            continue;
        if (stat->living()) {
            living = true;
            break;
        }
    }
    ::closedir(proc);
    return living;
}

} // namespace

bool groupAlive(pid_t pgid)
{
    if (pgid <= 1)
        return false;
    if (::killpg(pgid, 0) != 0 && errno != EPERM)
        return false;
    return hasLivingMember(pgid);
}

void signalGroup(pid_t pgid, int signal)
{
    if (pgid > 1)
        ::killpg(pgid, signal);
}

void askGroupToQuit(pid_t pgid)
{
    signalGroup(pgid, SIGTERM);
    signalGroup(pgid, SIGCONT);
}

} // namespace ProcessGroups
