#pragma once

#include <QList>
#include <QString>

#include <optional>

// What the kernel says about one process besides its name: its parent, its process group and
// its start time in whole seconds since the Unix epoch. A start time and a group id together
// prove that a pid still names the process that was recorded earlier.
struct ProcessInfo
{
    qint32 ppid = 0;
    qint32 pgid = 0;
    quint64 startSec = 0;

    friend bool operator==(const ProcessInfo&, const ProcessInfo&) = default;
};

// What a process costs: its memory and the processor time it has taken. Sums over a server's
// processes add up.
struct ProcessUsage
{
    // The proportional set size: pages shared with other processes count by their share, so
    // the sizes of a process tree add up to what the tree takes. The resident size where the
    // kernel does not tell (before Linux 4.14, or another user's process).
    quint64 memoryBytes = 0;
    // Clock ticks in user and kernel mode, of the process and of its children that ended and
    // were waited for: a child's time stays in the sum after it exits.
    quint64 cpuTicks = 0;

    ProcessUsage& operator+=(const ProcessUsage& other)
    {
        memoryBytes += other.memoryBytes;
        cpuTicks += other.cpuTicks;
        return *this;
    }
    friend bool operator==(const ProcessUsage&, const ProcessUsage&) = default;
};

// A read-only view of the process table. Every query may find its process gone: absence is
// an ordinary answer (nullopt, empty name, empty folder, no ports), never an error.
//
// Implementations may cache system-wide facts (such as the socket tables) for their own
// lifetime, so a table object stands for one look at the system: make a new one per scan.
class ProcessTable
{
public:
    virtual ~ProcessTable() = default;

    // Every process id, in no particular order.
    virtual QList<qint32> listAllPIDs() const = 0;
    // The process name as the kernel keeps it (at most 15 bytes); empty when unreadable.
    virtual QString name(qint32 pid) const = 0;
    virtual std::optional<ProcessInfo> info(qint32 pid) const = 0;
    // The process group alone: the same as info()->pgid, possibly much cheaper.
    virtual std::optional<qint32> processGroup(qint32 pid) const = 0;
    // Resident memory in bytes.
    virtual std::optional<quint64> residentBytes(qint32 pid) const = 0;
    // Memory and processor time together, in one look at the process.
    virtual std::optional<ProcessUsage> usage(qint32 pid) const = 0;
    // The working folder as the kernel reports it; empty when unreadable.
    virtual QString workingFolder(qint32 pid) const = 0;
    // Distinct local ports of the process's listening TCP sockets (IPv4 and IPv6), ascending.
    virtual QList<int> listeningPorts(qint32 pid) const = 0;
    // The first port of the range the system hands out for port 0; ports below it were chosen
    // on purpose by whoever listens on them.
    virtual int temporaryPortFloor() const = 0;
};
