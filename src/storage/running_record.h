#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

// A dev server started by the application and not yet seen to exit, kept in "running.json" so
// that it can be found again after a crash.
struct RunningRecord
{
    QString projectID;          // the project's path
    std::int32_t pid = 0;       // the child shell, which leads its process group
    std::uint64_t startSec = 0; // the process's start time, whole seconds since the epoch

    friend bool operator==(const RunningRecord&, const RunningRecord&) = default;
};

QJsonArray encodeRunningRecords(const QList<RunningRecord>& records);
// A record with a missing key or a value of the wrong type (or out of range) fails the whole
// list.
std::optional<QList<RunningRecord>> decodeRunningRecords(const QByteArray& json);

// The list in "running.json"; a missing, unreadable or undecodable file counts as empty.
QList<RunningRecord> loadRunningRecords();
// Writes the list through saveJSON; an empty list deletes the file instead. Returns the logged
// failure line, if any.
std::optional<QString> saveRunningRecords(const QList<RunningRecord>& records);
