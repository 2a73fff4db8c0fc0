#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class TempFolder;

// A stand-in for a terminal or editor: a shell script that records how it was started (its
// working folder, arguments, session and standard streams) in files beside itself.
struct RecordedRun
{
    QString workingFolder;
    QStringList arguments;
    qint64 session = 0;
    QStringList streams; // targets of descriptors 0, 1 and 2
};

// Writes the script at `relativePath` inside `folder`; returns its absolute path.
QString writeRecordingProgram(const TempFolder& folder, const QString& relativePath);

// What the program at `programPath` recorded on its last run; none when it has not run.
std::optional<RecordedRun> recordedRun(const QString& programPath);
