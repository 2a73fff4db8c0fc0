#include "support/recording_program.h"

#include "support/temp_folder.h"

#include <QFile>

QString writeRecordingProgram(const TempFolder& folder, const QString& relativePath)
{
    // Arguments are separated by NUL bytes so that any character in them survives. The record
    // is renamed into place last, so its presence means the run is complete.
    const QByteArray record = QFile::encodeName(folder.filePath(relativePath)) + ".record";
    return folder.writeScript(relativePath,
                              "{ printf '%s\\0' \"$(pwd -P)\"; for a in \"$@\"; do printf '%s\\0' "
                              "\"$a\"; done; } > '" +
                                  record +
                                  ".tmp'\n"
                                  "streams=$(readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2)\n"
                                  "printf '%s\\n' \"$streams\" > '" +
                                  record +
                                  ".streams'\n"
                                  "set -- $(cat /proc/$$/stat)\n"
                                  "printf '%s\\n' \"$6\" > '" +
                                  record + ".session'\nmv '" + record + ".tmp' '" + record + "'\n");
}

std::optional<RecordedRun> recordedRun(const QString& programPath)
{
    const QString record = programPath + QStringLiteral(".record");
    if (!QFile::exists(record))
        return std::nullopt;
    QList<QByteArray> fields = readWholeFile(record).split('\0');
    if (!fields.isEmpty() && fields.last().isEmpty())
        fields.removeLast(); // after the final separator
    RecordedRun run;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const QString field = QString::fromLocal8Bit(fields.at(i));
        if (i == 0)
            run.workingFolder = field;
        else
            run.arguments.append(field);
    }
    run.session = readWholeFile(record + QStringLiteral(".session")).trimmed().toLongLong();
    run.streams = QString::fromLocal8Bit(readWholeFile(record + QStringLiteral(".streams")))
                      .split(u'\n', Qt::SkipEmptyParts);
    return run;
}
