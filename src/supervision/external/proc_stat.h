#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// The fields of /proc/PID/stat that the application reads: the one parser of that file.
struct ProcStat
{
    QByteArray name; // the command name between the parentheses, at most 15 bytes
    char state = 0;  // R, S, D, T, t, Z, X, ...
    qint32 ppid = 0;
    qint32 pgid = 0;
    qint32 session = 0;
    quint64 userTicks = 0;   // CPU time in user mode, in clock ticks
    quint64 systemTicks = 0; // CPU time in kernel mode, in clock ticks
    // The same of its children that ended and were waited for (by it or theirs).
    quint64 childUserTicks = 0;
    quint64 childSystemTicks = 0;
    qint64 threads = 0;
    quint64 startTicks = 0; // clock ticks since boot
    // Resident pages, when the line goes that far (every kernel's does).
    std::optional<quint64> residentPages;

    // Neither a zombie (ended, waiting to be reaped by its parent) nor dead.
    bool living() const { return state != 'Z' && state != 'X'; }
    friend bool operator==(const ProcStat&, const ProcStat&) = default;
};

// Parses the whole content of /proc/PID/stat. The name between the parentheses may itself
// contain spaces and parentheses, so the fields are counted from the last ")". Nothing on a
// truncated or malformed file.
std::optional<ProcStat> parseProcStat(QByteArrayView content);

// Reads and parses /proc/PID/stat; nothing when the process is gone (or never was). Reads
// into a fixed buffer: cheap enough for walking the whole table.
std::optional<ProcStat> readProcStat(qint32 pid);
