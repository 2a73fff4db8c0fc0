#pragma once

#include "supervision/external/process_table.h"
#include "supervision/external/proportional_memory_cache.h"

#include <QByteArray>
#include <QHash>

// The process table read from /proc. `root` is "/proc" except in tests, which may point it at
// a folder laid out the same way.
//
// The listening-socket tables (net/tcp, net/tcp6) and the boot time are read once, on first
// use, and kept for the life of the object. Not for concurrent use: one object per scan.
// Proportional sizes go through `cache` when one is given, which outlives the scans; without
// one every reading is exact, at the cost of reading each process's smaps_rollup.
class ProcProcessTable final : public ProcessTable
{
public:
    explicit ProcProcessTable(const QByteArray& root = QByteArrayLiteral("/proc"),
                              ProportionalMemoryCache* cache = nullptr);
    ~ProcProcessTable() override;
    ProcProcessTable(const ProcProcessTable&) = delete;
    ProcProcessTable& operator=(const ProcProcessTable&) = delete;

    QList<qint32> listAllPIDs() const override;
    QString name(qint32 pid) const override;
    std::optional<ProcessInfo> info(qint32 pid) const override;
    std::optional<qint32> processGroup(qint32 pid) const override;
    std::optional<quint64> residentBytes(qint32 pid) const override;
    std::optional<ProcessUsage> usage(qint32 pid) const override;
    QString workingFolder(qint32 pid) const override;
    QList<int> listeningPorts(qint32 pid) const override;
    int temporaryPortFloor() const override;

private:
    std::optional<QByteArray> read(const char* relativePath, qsizetype sizeHint) const;
    const QHash<quint64, int>& listeningSockets() const;

    int rootFd_ = -1;
    bool live_ = false; // the system's own /proc: pids are those of this process's namespace
    ProportionalMemoryCache* cache_ = nullptr;
    mutable std::optional<std::optional<quint64>> bootTime_;
    mutable std::optional<QHash<quint64, int>> listeningSockets_;
};
