#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>

#include <optional>

// Pure parsers for the text files of /proc. Each takes the whole file content and returns
// nothing (or skips a row) on anything malformed. /proc/PID/stat has its own (proc_stat.h).

// The "btime" line of /proc/stat: boot time in seconds since the Unix epoch.
std::optional<quint64> parseBootTime(const QByteArray& content);

// Resident pages (second field) of /proc/PID/statm.
std::optional<quint64> parseResidentPages(const QByteArray& content);

// The proportional set size of /proc/PID/smaps_rollup (the "Pss:" line, in kB), in bytes.
std::optional<quint64> parseProportionalBytes(QByteArrayView content);

// Socket inode -> local port of every LISTEN row (state 0A) of /proc/net/tcp or
// /proc/net/tcp6 (both share one layout). Rows with port 0 or inode 0 are left out.
QHash<quint64, int> parseListeningSockets(const QByteArray& table);

// The inode of an fd link target "socket:[INODE]".
std::optional<quint64> parseSocketLink(QByteArrayView target);

// The lower bound of /proc/sys/net/ipv4/ip_local_port_range ("32768\t60999").
std::optional<int> parsePortRangeFloor(const QByteArray& content);
