#include "supervision/external/proc_stat.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <unistd.h>

namespace {

// Cuts the next space-separated field off the front of `rest`.
QByteArrayView nextField(QByteArrayView& rest)
{
    qsizetype start = 0;
    while (start < rest.size() && rest[start] == ' ')
        ++start;
    qsizetype end = start;
    while (end < rest.size() && rest[end] != ' ' && rest[end] != '\n')
        ++end;
    const QByteArrayView field = rest.sliced(start, end - start);
    rest = rest.sliced(end);
    return field;
}

template <typename T> bool decimal(QByteArrayView text, T& value)
{
    bool ok = false;
    const qlonglong parsed = text.toLongLong(&ok);
    if (!ok || parsed < qlonglong(std::numeric_limits<T>::min()) ||
        quint64(std::max<qlonglong>(parsed, 0)) > quint64(std::numeric_limits<T>::max()))
        return false;
    value = T(parsed);
    return true;
}

} // namespace

std::optional<ProcStat> parseProcStat(QByteArrayView content)
{
    const qsizetype open = content.indexOf('(');
    const qsizetype close = content.lastIndexOf(')');
    if (open < 0 || close < open)
        return std::nullopt;
    ProcStat stat;
    stat.name = content.sliced(open + 1, close - open - 1).toByteArray();
    // Fields counted from 1 as in proc(5): 3 state, 4 ppid, 5 pgrp, 6 session, 14 utime,
    // 15 stime, 16 cutime, 17 cstime, 20 num_threads, 22 starttime, 24 rss (optional).
    QByteArrayView rest = content.sliced(close + 1);
    int number = 3;
    bool ok = true;
    for (; number <= 24 && ok; ++number) {
        const QByteArrayView field = nextField(rest);
        if (field.isEmpty() && number > 22)
            break;
        if (field.isEmpty())
            return std::nullopt;
        switch (number) {
        case 3:
            stat.state = field[0];
            ok = field.size() == 1;
            break;
        case 4: ok = decimal(field, stat.ppid) && stat.ppid >= 0; break;
        case 5: ok = decimal(field, stat.pgid) && stat.pgid >= 0; break;
        case 6: ok = decimal(field, stat.session) && stat.session >= 0; break;
        case 14: ok = decimal(field, stat.userTicks); break;
        case 15: ok = decimal(field, stat.systemTicks); break;
        case 16: ok = decimal(field, stat.childUserTicks); break;
        case 17: ok = decimal(field, stat.childSystemTicks); break;
        case 20: ok = decimal(field, stat.threads); break;
        case 22: ok = decimal(field, stat.startTicks); break;
        case 24: {
            quint64 pages = 0;
            ok = decimal(field, pages);
            stat.residentPages = pages;
            break;
        }
        default: break;
        }
    }
    if (!ok)
        return std::nullopt;
    return stat;
}

std::optional<ProcStat> readProcStat(qint32 pid)
{
    if (pid <= 0)
        return std::nullopt;
    char path[32];
    std::snprintf(path, sizeof path, "/proc/%d/stat", pid);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    // /proc files report a size of 0, so read until end of file. The name is at most 15 bytes
    // and the 52 numbers fit well within the buffer.
    char buffer[1024];
    qsizetype total = 0;
    while (total < qsizetype(sizeof buffer)) {
        const ssize_t n = ::read(fd, buffer + total, sizeof buffer - size_t(total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        total += n;
    }
    ::close(fd);
    return parseProcStat(QByteArrayView(buffer, total));
}
