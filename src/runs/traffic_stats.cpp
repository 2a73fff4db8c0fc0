#include "runs/traffic_stats.h"

#include <algorithm>
#include <bit>

namespace {

constexpr qint64 slotMs = 10'000;
constexpr int slotCount = TrafficSummary::windowSeconds * 1000 / int(slotMs);
constexpr qint64 minuteMs = 60'000;
constexpr qint64 exceptionPairingMs = 2'000;

// Latencies in a log-scale histogram: exact below 32 ms, then sixteen bins per power of two
// (at most 1/16 off) up to 2^21 ms; anything longer shares the last bin.
constexpr int exactBins = 32;
constexpr int subBins = 16;
constexpr int topOctave = 20;
constexpr int binCount = exactBins + (topOctave - 4) * subBins;

int binOf(int durationMs)
{
    if (durationMs < exactBins)
        return std::max(durationMs, 0);
    const int octave = 31 - std::countl_zero(quint32(durationMs));
    if (octave > topOctave)
        return binCount - 1;
    const int sub = (durationMs >> (octave - 4)) & (subBins - 1);
    return exactBins + (octave - 5) * subBins + sub;
}

// The middle of a bin's range, in whole milliseconds.
int valueOf(int bin)
{
    if (bin < exactBins)
        return bin;
    const int octave = (bin - exactBins) / subBins + 5;
    const int sub = (bin - exactBins) % subBins;
    const int lower = (subBins + sub) << (octave - 4);
    return lower + ((1 << (octave - 4)) - 1) / 2;
}

qint64 numberOf(qint64 atMs, qint64 length)
{
    return atMs >= 0 ? atMs / length : -1;
}

// The slower first; of two alike, the earlier.
bool slower(const RequestRecord& a, const RequestRecord& b)
{
    return a.durationMs != b.durationMs ? a.durationMs > b.durationMs : a.atMs < b.atMs;
}

RequestRecord record(qint64 atMs, QStringView method, QStringView path, int status, int durationMs)
{
    return RequestRecord{atMs,
                         method.toString(),
                         path.first(std::min(path.size(), TrafficStats::maxPathLength)).toString(),
                         status,
                         durationMs,
                         {}};
}

} // namespace

struct TrafficStats::Slot
{
    qint64 number = -1;
    quint32 requests = 0;
    quint32 errors = 0;
    quint32 errorLogs = 0;
    std::array<quint32, 5> classes{};
    std::array<quint32, binCount> latency{};
    QList<RequestRecord> slowest; // at most `listed`, slowest first

    void reset(qint64 to)
    {
        number = to;
        requests = errors = errorLogs = 0;
        classes.fill(0);
        latency.fill(0);
        slowest.clear();
    }
};

TrafficStats::TrafficStats() = default;
TrafficStats::~TrafficStats() = default;

TrafficStats::Slot* TrafficStats::slotFor(qint64 atMs)
{
    const qint64 number = numberOf(atMs, slotMs);
    if (number < 0 || number <= latestSlot_ - slotCount)
        return nullptr;
    if (!slots_)
        slots_ = std::make_unique<Slot[]>(slotCount);
    latestSlot_ = std::max(latestSlot_, number);
    Slot& slot = slots_[number % slotCount];
    if (slot.number != number)
        slot.reset(number);
    return &slot;
}

TrafficStats::Minute* TrafficStats::minuteFor(qint64 atMs)
{
    const qint64 number = numberOf(atMs, minuteMs);
    if (number < 0 || number <= latestMinute_ - TrafficSummary::historyMinutes)
        return nullptr;
    latestMinute_ = std::max(latestMinute_, number);
    Minute& minute = minutes_[number % TrafficSummary::historyMinutes];
    if (minute.number != number)
        minute = Minute{number, {}};
    return &minute;
}

void TrafficStats::countError(qint64 atMs)
{
    if (Slot* slot = slotFor(atMs))
        ++slot->errors;
    if (Minute* minute = minuteFor(atMs))
        ++minute->counts.errors;
}

void TrafficStats::addRequest(qint64 atMs, QStringView method, QStringView path, int status,
                              int durationMs)
{
    add(atMs, method, path, status, durationMs, std::nullopt);
}

void TrafficStats::addFailedRequest(qint64 atMs, QStringView method, QStringView path, int status,
                                    int durationMs, QStringView failure)
{
    add(atMs, method, path, status, durationMs,
        failure.first(std::min(failure.size(), maxPathLength)).toString());
}

void TrafficStats::add(qint64 atMs, QStringView method, QStringView path, int status,
                       int durationMs, std::optional<QString> thrown)
{
    durationMs = std::max(durationMs, 0);
    const bool failed = thrown || (status >= 500 && status <= 599);
    QString failure;
    if (thrown) {
        failure = std::move(*thrown);
        countError(atMs);
    } else if (failed && !pendingException_.isEmpty() && atMs >= exceptionAtMs_ &&
               atMs - exceptionAtMs_ <= exceptionPairingMs) {
        failure = std::exchange(pendingException_, {});
    } else if (failed) {
        countError(atMs);
    }

    if (Minute* minute = minuteFor(atMs))
        ++minute->counts.requests;
    if (Slot* slot = slotFor(atMs)) {
        ++slot->requests;
        if (status >= 100 && status <= 599)
            ++slot->classes[status / 100 - 1];
        ++slot->latency[binOf(durationMs)];
        QList<RequestRecord>& slowest = slot->slowest;
        if (slowest.size() < TrafficSummary::listed || durationMs > slowest.last().durationMs) {
            RequestRecord entry = record(atMs, method, path, status, durationMs);
            entry.failure = failure;
            slowest.insert(std::upper_bound(slowest.begin(), slowest.end(), entry, slower), entry);
            if (slowest.size() > TrafficSummary::listed)
                slowest.removeLast();
        }
    }
    if (failed) {
        RequestRecord entry = record(atMs, method, path, status, durationMs);
        entry.failure = std::move(failure);
        const auto later = [](const RequestRecord& a, const RequestRecord& b) {
            return a.atMs > b.atMs;
        };
        failed_.insert(std::upper_bound(failed_.begin(), failed_.end(), entry, later),
                       std::move(entry));
        if (failed_.size() > TrafficSummary::listed)
            failed_.removeLast();
    }
}

void TrafficStats::addException(qint64 atMs, QStringView name, QStringView message)
{
    countError(atMs);
    exceptionAtMs_ = atMs;
    pendingException_ = name.toString();
    if (!message.isEmpty())
        pendingException_ += QStringLiteral(": ") +
                             message.first(std::min(message.size(), maxPathLength)).toString();
}

void TrafficStats::addErrorLog(qint64 atMs)
{
    if (Slot* slot = slotFor(atMs))
        ++slot->errorLogs;
}

void TrafficStats::clear()
{
    slots_.reset();
    minutes_.fill({});
    latestSlot_ = latestMinute_ = -1;
    failed_.clear();
    pendingException_.clear();
}

TrafficSummary TrafficStats::summary(qint64 nowMs) const
{
    TrafficSummary result;
    const qint64 nowSlot = std::max(numberOf(nowMs, slotMs), latestSlot_);
    const qint64 nowMinute = std::max(numberOf(nowMs, minuteMs), latestMinute_);
    const qint64 windowStartMs = (nowSlot - slotCount + 1) * slotMs;

    std::array<quint64, binCount> latency{};
    if (slots_) {
        for (int i = 0; i < slotCount; ++i) {
            const Slot& slot = slots_[i];
            if (slot.number < 0 || slot.number <= nowSlot - slotCount || slot.number > nowSlot)
                continue;
            result.requests += slot.requests;
            result.errors += slot.errors;
            result.errorLogs += slot.errorLogs;
            for (size_t c = 0; c < slot.classes.size(); ++c)
                result.statusClasses[c] += slot.classes[c];
            for (int b = 0; b < binCount; ++b)
                latency[b] += slot.latency[b];
            result.slowest.append(slot.slowest);
        }
    }
    std::sort(result.slowest.begin(), result.slowest.end(), slower);
    if (result.slowest.size() > TrafficSummary::listed)
        result.slowest.resize(TrafficSummary::listed);

    // The smallest latency with at least the given share of the requests at or below it.
    const auto percentile = [&latency, total = result.requests](int percent) -> std::optional<int> {
        if (total == 0)
            return std::nullopt;
        const quint64 rank = std::max<quint64>(1, (total * quint64(percent) + 99) / 100);
        quint64 seen = 0;
        for (int b = 0; b < binCount; ++b) {
            seen += latency[b];
            if (seen >= rank)
                return valueOf(b);
        }
        return valueOf(binCount - 1);
    };
    result.p50Ms = percentile(50);
    result.p95Ms = percentile(95);

    for (const Minute& minute : minutes_) {
        const qint64 age = nowMinute - minute.number;
        if (minute.number >= 0 && age >= 0 && age < TrafficSummary::historyMinutes)
            result.perMinute[size_t(TrafficSummary::historyMinutes - 1 - age)] = minute.counts;
    }
    for (const RequestRecord& entry : failed_) {
        if (entry.atMs >= windowStartMs)
            result.failed.append(entry);
    }
    return result;
}
