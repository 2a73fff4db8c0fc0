#include "supervision/process_groups.h"

#include <QByteArray>
#include <QList>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace ProcessGroups {

namespace {

// Reads /proc/PID/stat and reports the state letter and process group of that process.
// /proc files report a size of 0, so read until end of file.
bool readStat(const char* pidName, char& state, long& pgrp)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%s/stat", pidName);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buffer[1024];
    ssize_t total = 0;
    while (total < static_cast<ssize_t>(sizeof buffer) - 1) {
        const ssize_t n = ::read(fd, buffer + total, sizeof buffer - 1 - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        total += n;
    }
    ::close(fd);
    buffer[total] = '\0';
    // The command name may hold spaces and parentheses: the fields follow the last ')'.
    const QByteArray text(buffer, total);
    const qsizetype close = text.lastIndexOf(')');
    if (close < 0)
        return false;
    const QList<QByteArray> fields = text.mid(close + 2).split(' ');
    if (fields.size() < 3 || fields.at(0).isEmpty())
        return false;
    state = fields.at(0).at(0);
    bool ok = false;
    pgrp = fields.at(2).toLong(&ok);
    return ok;
}

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
        char state = 0;
        long pgrp = 0;
        if (!readStat(entry->d_name, state, pgrp) || pgrp != pgid)
            continue;
        if (state != 'Z' && state != 'X') {
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

} // namespace ProcessGroups
