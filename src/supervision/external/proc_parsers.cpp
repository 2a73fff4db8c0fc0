#include "supervision/external/proc_parsers.h"

#include <QList>

#include <limits>

namespace {

// Whitespace-separated fields of one line, without allocating copies of the text.
QList<QByteArrayView> fields(QByteArrayView line)
{
    QList<QByteArrayView> result;
    qsizetype i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const qsizetype start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            result.append(line.sliced(start, i - start));
    }
    return result;
}

QList<QByteArrayView> lines(QByteArrayView text)
{
    QList<QByteArrayView> result;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        result.append(text.sliced(start, end - start));
        start = end + 1;
    }
    return result;
}

template <typename T> std::optional<T> decimal(QByteArrayView text)
{
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok || value < 0 || quint64(value) > quint64(std::numeric_limits<T>::max()))
        return std::nullopt;
    return T(value);
}

std::optional<quint64> hex(QByteArrayView text)
{
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok, 16);
    return ok ? std::optional<quint64>(value) : std::nullopt;
}

} // namespace

std::optional<quint64> parseBootTime(const QByteArray& content)
{
    for (QByteArrayView line : lines(content)) {
        if (!line.startsWith("btime "))
            continue;
        return decimal<quint64>(line.sliced(6).trimmed());
    }
    return std::nullopt;
}

std::optional<quint64> parseResidentPages(const QByteArray& content)
{
    const QList<QByteArrayView> parts = fields(QByteArrayView(content).trimmed());
    if (parts.size() < 2)
        return std::nullopt;
    return decimal<quint64>(parts[1]);
}

std::optional<quint64> parseProportionalBytes(QByteArrayView content)
{
    // The first line names the range summed up; "Pss:" follows "Rss:" (and precedes the
    // "Pss_Anon:" family, which the colon tells apart).
    const qsizetype at = content.indexOf("\nPss:");
    if (at < 0)
        return std::nullopt;
    QByteArrayView rest = content.sliced(at + 5);
    const qsizetype end = rest.indexOf('\n');
    const QList<QByteArrayView> parts = fields(end < 0 ? rest : rest.first(end));
    if (parts.size() != 2 || parts[1] != "kB")
        return std::nullopt;
    const std::optional<quint64> kilobytes = decimal<quint64>(parts[0]);
    if (!kilobytes || *kilobytes > std::numeric_limits<quint64>::max() / 1024)
        return std::nullopt;
    return *kilobytes * 1024;
}

QHash<quint64, int> parseListeningSockets(const QByteArray& table)
{
    // "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout
    // inode"
    constexpr qsizetype localField = 1, stateField = 3, inodeField = 9;
    QHash<quint64, int> result;
    const QList<QByteArrayView> rows = lines(table);
    for (qsizetype row = 1; row < rows.size(); ++row) { // the first line is the header
        const QList<QByteArrayView> parts = fields(rows[row]);
        if (parts.size() <= inodeField || parts[stateField] != "0A")
            continue;
        const QByteArrayView local = parts[localField];
        const qsizetype colon = local.lastIndexOf(':');
        if (colon < 0)
            continue;
        const auto port = hex(local.sliced(colon + 1));
        const auto inode = decimal<quint64>(parts[inodeField]);
        if (!port || *port == 0 || *port > 65535 || !inode || *inode == 0)
            continue;
        result.insert(*inode, int(*port));
    }
    return result;
}

std::optional<quint64> parseSocketLink(QByteArrayView target)
{
    if (!target.startsWith("socket:[") || !target.endsWith(']'))
        return std::nullopt;
    return decimal<quint64>(target.sliced(8, target.size() - 9));
}

std::optional<int> parsePortRangeFloor(const QByteArray& content)
{
    const QList<QByteArrayView> parts = fields(QByteArrayView(content).trimmed());
    if (parts.isEmpty())
        return std::nullopt;
    const auto floor = decimal<int>(parts[0]);
    if (!floor || *floor < 1 || *floor > 65535)
        return std::nullopt;
    return floor;
}
