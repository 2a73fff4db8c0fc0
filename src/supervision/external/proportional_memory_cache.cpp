#include "supervision/external/proportional_memory_cache.h"

#include <algorithm>

ProportionalMemoryCache& ProportionalMemoryCache::shared()
{
    static ProportionalMemoryCache cache;
    return cache;
}

std::optional<quint64> ProportionalMemoryCache::estimate(qint32 pid, quint64 startTicks,
                                                         const QByteArray& name,
                                                         quint64 residentBytes, qint64 nowMs)
{
    if (residentBytes < smallResidentBytes)
        return std::nullopt;
    const QMutexLocker lock(&mutex_);
    const auto found = entries_.find(pid);
    if (found == entries_.end() || found->startTicks != startTicks || found->name != name ||
        nowMs - found->readAtMs > maxAgeMs || nowMs < found->readAtMs)
        return std::nullopt;
    const quint64 slack =
        std::max(slackFloor, quint64(double(found->proportionalBytes) * slackShare));
    const quint64 moved = residentBytes > found->residentBytes
                              ? residentBytes - found->residentBytes
                              : found->residentBytes - residentBytes;
    if (moved > slack)
        return std::nullopt;
    found->seenAtMs = nowMs;
    // Pages gained count whole; pages lost count at most what the process had.
    if (residentBytes >= found->residentBytes)
        return found->proportionalBytes + moved;
    return found->proportionalBytes > moved ? found->proportionalBytes - moved : 0;
}

void ProportionalMemoryCache::store(qint32 pid, quint64 startTicks, const QByteArray& name,
                                    quint64 residentBytes, quint64 proportionalBytes, qint64 nowMs)
{
    const QMutexLocker lock(&mutex_);
    if (residentBytes < smallResidentBytes)
        entries_.remove(pid);
    else
        entries_.insert(pid, {startTicks, name, residentBytes, proportionalBytes, nowMs, nowMs});
    if (nowMs - prunedAtMs_ < maxAgeMs)
        return;
    prunedAtMs_ = nowMs;
    entries_.removeIf([nowMs](const QHash<qint32, Entry>::iterator entry) {
        return nowMs - entry->seenAtMs > 2 * maxAgeMs;
    });
}

qsizetype ProportionalMemoryCache::size() const
{
    const QMutexLocker lock(&mutex_);
    return entries_.size();
}
