#include "supervision/external/proc_process_table.h"

#include "base/directory_entries.h"
#include "supervision/external/proc_parsers.h"
#include "supervision/external/proc_stat.h"

#include <QDeadlineTimer>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <unistd.h>

namespace {

// /proc files report size 0, so they are read until end of file; the cap only guards against
// a table that grows without bound while it is read.
constexpr qsizetype fileCap = qsizetype(32) * 1024 * 1024;

// The default lower bound of Linux's temporary ports, used when the setting is unreadable.
constexpr int defaultTemporaryPortFloor = 32768;

std::optional<QByteArray> readUntilEnd(int dirFd, const char* path, qsizetype sizeHint)
{
    const int fd = ::openat(dirFd, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    QByteArray content(std::max<qsizetype>(sizeHint, 16), Qt::Uninitialized);
    qsizetype used = 0;
    for (;;) {
        if (used == content.size()) {
            if (content.size() >= fileCap)
                break;
            content.resize(std::min(fileCap, content.size() * 2));
        }
        const ssize_t n = ::read(fd, content.data() + used, size_t(content.size() - used));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd); // e.g. ESRCH: the process ended while it was read
            return std::nullopt;
        }
        if (n == 0)
            break;
        used += n;
    }
    ::close(fd);
    content.truncate(used);
    return content;
}

// "PID/leaf" into a fixed buffer: no allocation on the per-process path of a scan.
struct PidPath
{
    char text[48];
    PidPath(qint32 pid, const char* leaf) { std::snprintf(text, sizeof text, "%d/%s", pid, leaf); }
};

} // namespace

ProcProcessTable::ProcProcessTable(const QByteArray& root, ProportionalMemoryCache* cache)
    : rootFd_(::open(root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)), live_(root == "/proc"),
      cache_(cache)
{}

ProcProcessTable::~ProcProcessTable()
{
    if (rootFd_ >= 0)
        ::close(rootFd_);
}

std::optional<QByteArray> ProcProcessTable::read(const char* relativePath, qsizetype sizeHint) const
{
    if (rootFd_ < 0)
        return std::nullopt;
    return readUntilEnd(rootFd_, relativePath, sizeHint);
}

QList<qint32> ProcProcessTable::listAllPIDs() const
{
    QList<qint32> pids;
    if (rootFd_ < 0)
        return pids;
    // A fresh descriptor each time, so the listing starts at the beginning.
    forEachDirectoryEntry(rootFd_, ".", [&](const dirent& entry, int) {
        qint64 pid = 0;
        const char* c = entry.d_name;
        for (; *c >= '0' && *c <= '9' && pid <= std::numeric_limits<qint32>::max(); ++c)
            pid = pid * 10 + (*c - '0');
        if (*c == '\0' && c != entry.d_name && pid > 0 && pid <= std::numeric_limits<qint32>::max())
            pids.append(qint32(pid));
    });
    return pids;
}

QString ProcProcessTable::name(qint32 pid) const
{
    const std::optional<QByteArray> comm = read(PidPath(pid, "comm").text, 32);
    if (!comm)
        return {};
    QByteArrayView text(*comm);
    if (text.endsWith('\n'))
        text.chop(1);
    return QString::fromUtf8(text);
}

std::optional<ProcessInfo> ProcProcessTable::info(qint32 pid) const
{
    const std::optional<QByteArray> content = read(PidPath(pid, "stat").text, 512);
    const std::optional<ProcStat> stat = content ? parseProcStat(*content) : std::nullopt;
    if (!stat)
        return std::nullopt;
    if (!bootTime_) {
        const std::optional<QByteArray> procStat = read("stat", 8192);
        bootTime_ = procStat ? parseBootTime(*procStat) : std::nullopt;
    }
    static const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    if (!*bootTime_ || ticksPerSecond <= 0)
        return std::nullopt;
    // Whole seconds, truncated, exactly as at every other reading: a recorded start time
    // must compare equal for the same process.
    const quint64 startSec = **bootTime_ + stat->startTicks / quint64(ticksPerSecond);
    return ProcessInfo{stat->ppid, stat->pgid, startSec};
}

std::optional<qint32> ProcProcessTable::processGroup(qint32 pid) const
{
    if (!live_) {
        const std::optional<ProcessInfo> found = info(pid);
        return found ? std::optional<qint32>(found->pgid) : std::nullopt;
    }
    // One system call instead of opening, reading and parsing the stat file: walking the
    // whole table for one group's memory stays cheap with thousands of processes. Linux
    // answers for processes of any session.
    const pid_t group = pid > 0 ? ::getpgid(pid) : -1;
    return group > 0 ? std::optional<qint32>(group) : std::nullopt;
}

std::optional<quint64> ProcProcessTable::residentBytes(qint32 pid) const
{
    const std::optional<QByteArray> content = read(PidPath(pid, "statm").text, 128);
    const std::optional<quint64> pages = content ? parseResidentPages(*content) : std::nullopt;
    static const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (!pages || pageSize <= 0)
        return std::nullopt;
    return *pages * quint64(pageSize);
}

std::optional<ProcessUsage> ProcProcessTable::usage(qint32 pid) const
{
    if (rootFd_ < 0)
        return std::nullopt;
    // Fixed buffers: this runs for every process of a server at every refresh.
    char buffer[1024];
    const auto readSmall = [&](const char* leaf) -> std::optional<QByteArrayView> {
        const int fd = ::openat(rootFd_, PidPath(pid, leaf).text, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return std::nullopt;
        ssize_t n = 0;
        do
            n = ::read(fd, buffer, sizeof buffer);
        while (n < 0 && errno == EINTR);
        ::close(fd);
        if (n < 0)
            return std::nullopt;
        return QByteArrayView(buffer, n);
    };
    const std::optional<QByteArrayView> statText = readSmall("stat");
    const std::optional<ProcStat> stat = statText ? parseProcStat(*statText) : std::nullopt;
    if (!stat)
        return std::nullopt;
    ProcessUsage usage;
    usage.cpuTicks =
        stat->userTicks + stat->systemTicks + stat->childUserTicks + stat->childSystemTicks;
    static const long pageSize = ::sysconf(_SC_PAGESIZE);
    const std::optional<quint64> resident =
        stat->residentPages && pageSize > 0
            ? std::optional<quint64>(*stat->residentPages * quint64(pageSize))
            : residentBytes(pid);
    const qint64 nowMs = QDeadlineTimer::current().deadline(); // steady, in ms
    if (cache_ && resident) {
        if (const std::optional<quint64> known =
                cache_->estimate(pid, stat->startTicks, stat->name, *resident, nowMs)) {
            usage.memoryBytes = *known;
            return usage;
        }
    }
    // smaps_rollup is about 1 kB; a longer one is cut, and "Pss:" is on its third line.
    const std::optional<QByteArrayView> rollup = readSmall("smaps_rollup");
    if (const std::optional<quint64> proportional =
            rollup ? parseProportionalBytes(*rollup) : std::nullopt) {
        usage.memoryBytes = *proportional;
        if (cache_ && resident)
            cache_->store(pid, stat->startTicks, stat->name, *resident, *proportional, nowMs);
    } else {
        usage.memoryBytes = resident.value_or(0);
    }
    return usage;
}

QString ProcProcessTable::workingFolder(qint32 pid) const
{
    if (rootFd_ < 0)
        return {};
    char target[4096];
    // Unreadable for other users' processes and for zombies: that is an empty answer.
    const ssize_t n = ::readlinkat(rootFd_, PidPath(pid, "cwd").text, target, sizeof target);
    if (n <= 0 || size_t(n) >= sizeof target)
        return {};
    return QFile::decodeName(QByteArray(target, n));
}

QList<int> ProcProcessTable::listeningPorts(qint32 pid) const
{
    QList<int> ports;
    const QHash<quint64, int>& sockets = listeningSockets();
    if (sockets.isEmpty() || rootFd_ < 0)
        return ports;
    forEachDirectoryEntry(rootFd_, PidPath(pid, "fd").text, [&](const dirent& entry, int fdFolder) {
        if (entry.d_name[0] == '.')
            return;
        char target[64];
        const ssize_t n = ::readlinkat(fdFolder, entry.d_name, target, sizeof target);
        if (n <= 0 || size_t(n) >= sizeof target)
            return;
        const std::optional<quint64> inode = parseSocketLink(QByteArrayView(target, n));
        if (!inode)
            return;
        const auto found = sockets.constFind(*inode);
        if (found != sockets.constEnd())
            ports.append(*found);
    });
    std::sort(ports.begin(), ports.end());
    ports.erase(std::unique(ports.begin(), ports.end()), ports.end());
    return ports;
}

int ProcProcessTable::temporaryPortFloor() const
{
    const std::optional<QByteArray> range = read("sys/net/ipv4/ip_local_port_range", 32);
    return (range ? parsePortRangeFloor(*range) : std::nullopt).value_or(defaultTemporaryPortFloor);
}

const QHash<quint64, int>& ProcProcessTable::listeningSockets() const
{
    if (!listeningSockets_) {
        QHash<quint64, int> sockets;
        for (const char* table : {"net/tcp", "net/tcp6"}) {
            if (const std::optional<QByteArray> content = read(table, qsizetype(64) * 1024))
                sockets.insert(parseListeningSockets(*content));
        }
        listeningSockets_ = std::move(sockets);
    }
    return *listeningSockets_;
}
