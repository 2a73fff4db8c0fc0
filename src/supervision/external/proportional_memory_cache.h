#pragma once

#include <QByteArray>
#include <QHash>
#include <QMutex>

#include <optional>

// Remembers each process's last proportional set size (the "Pss" of smaps_rollup), so that a
// refresh need not read it again while the process stays much the same.
//
// Reading smaps_rollup makes the kernel walk every page table entry of the process: 10 to 35 ms
// for a Node or workerd process of a few hundred MB, where its stat file takes 0.03 ms. Between
// reads the figure is estimated from the last one and the change in resident size: a page
// gained adds between nothing (shared with many) and a whole page, a page lost takes off at
// most one, so the estimate is off by at most that change, which is kept within the slack
// (5 % of the last figure, and at least `slackFloor`). What the resident size does not show,
// other processes starting or ending that share its pages, is caught up at the latest after
// `maxAgeMs`.
//
// It is read again when the resident size moves beyond the slack, when the last read is older
// than `maxAgeMs`, for a new process or a pid reused by another one, and after an exec (a new
// command name: the pid and the start time stay). Processes below `smallResidentBytes` are
// always read: that is cheap for them, and their figure moves with every fork of theirs.
// Safe for use from several threads.
class ProportionalMemoryCache
{
public:
    static constexpr qint64 maxAgeMs = 30'000;
    static constexpr double slackShare = 0.05;
    static constexpr quint64 slackFloor = quint64(256) * 1024;
    static constexpr quint64 smallResidentBytes = quint64(16) * 1024 * 1024;

    // The one every look at the system's own /proc shares.
    static ProportionalMemoryCache& shared();

    // The estimate for process `pid` started at `startTicks`, now `residentBytes` resident;
    // nothing when it must be read.
    std::optional<quint64> estimate(qint32 pid, quint64 startTicks, const QByteArray& name,
                                    quint64 residentBytes, qint64 nowMs);
    // A fresh reading; none is kept for a small process. Entries of processes not looked at
    // for a while are dropped here.
    void store(qint32 pid, quint64 startTicks, const QByteArray& name, quint64 residentBytes,
               quint64 proportionalBytes, qint64 nowMs);

    qsizetype size() const;

private:
    struct Entry
    {
        quint64 startTicks = 0;
        QByteArray name; // the command name, which an exec changes
        quint64 residentBytes = 0;
        quint64 proportionalBytes = 0;
        qint64 readAtMs = 0;
        qint64 seenAtMs = 0;
    };

    mutable QMutex mutex_;
    QHash<qint32, Entry> entries_;
    qint64 prunedAtMs_ = 0;
};
