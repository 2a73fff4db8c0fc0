#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QString>

#include <optional>

// Names of the three data files in the support directory.
inline constexpr const char* registryFileName = "registry.json";
inline constexpr const char* settingsFileName = "settings.json";
inline constexpr const char* runningFileName = "running.json";

// Where the data files live, computed on every use: TALLOWMERE_SUPPORT_DIR when set, else
// $XDG_DATA_HOME/Tallowmere, else ~/.local/share/Tallowmere. Never created by reading.
QString supportDirectory();
QString dataFilePath(const QString& fileName);

// The one writer of the data files: creates the support directory, encodes `value` in the
// written form and replaces the file atomically. A failure is written to the system log as
// "Tallowmere: failed to save <file name>: <description>" and otherwise ignored; the logged
// line is also returned (none on success) so that callers and tests can see it.
std::optional<QString> saveJSON(const QJsonValue& value, const QString& fileName);

// Outcome of reading a data file: absent (no folder or no file), unreadable, or its bytes.
struct DataFileRead
{
    enum class Status { absent, unreadable, read };
    Status status = Status::absent;
    QByteArray bytes;
};
DataFileRead readDataFile(const QString& fileName);

// Removes a data file; a failure (also a missing file) is ignored.
void deleteDataFile(const QString& fileName);

// Keeps a data file that is present but could not be read or decoded, by renaming it to
// "<file name>.corrupt-<UTC time>" beside it, so that the next save cannot replace the user's
// data. Returns the new path, or none when nothing was moved.
std::optional<QString> moveDataFileAside(const QString& fileName);
