#include "storage/storage.h"

#include "base/product_name.h"
#include "storage/atomic_file.h"
#include "storage/json_writer.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <syslog.h>

QString supportDirectory()
{
    // An empty value names no folder; it would otherwise mean the working directory.
    QString explicitDir = qEnvironmentVariable("TALLOWMERE_SUPPORT_DIR");
    if (!explicitDir.isEmpty())
        return explicitDir;
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    // The XDG rules ignore a relative value.
    if (dataHome.isEmpty() || !QDir::isAbsolutePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return dataHome + QLatin1Char('/') + Product::name;
}

QString dataFilePath(const QString& fileName)
{
    return QDir(supportDirectory()).filePath(fileName);
}

std::optional<QString> saveJSON(const QJsonValue& value, const QString& fileName)
{
    const QString folder = supportDirectory();
    std::optional<QString> failure;
    if (!QDir().mkpath(folder))
        failure = QStringLiteral("cannot create the folder %1").arg(folder);
    else
        failure = writeFileAtomically(QDir(folder).filePath(fileName), encodeDataFileJson(value));
    if (!failure)
        return std::nullopt;

    const QString line =
        (Product::name + QStringLiteral(": failed to save %1: %2")).arg(fileName, *failure);
    syslog(LOG_ERR, "%s", line.toUtf8().constData());
    return line;
}

DataFileRead readDataFile(const QString& fileName)
{
    QFile file(dataFilePath(fileName));
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        return {DataFileRead::Status::unreadable, {}};
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {DataFileRead::Status::unreadable, {}};
    return {DataFileRead::Status::read, bytes};
}

void deleteDataFile(const QString& fileName)
{
    QFile::remove(dataFilePath(fileName));
}

std::optional<QString> moveDataFileAside(const QString& fileName)
{
    const QString original = dataFilePath(fileName);
    if (!QFileInfo::exists(original))
        return std::nullopt;
    const QString stamp =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    const QString base = QStringLiteral("%1.corrupt-%2").arg(original, stamp);
    // Never overwrite an earlier copy: add a counter when the name is taken.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate =
            attempt == 0 ? base : QStringLiteral("%1-%2").arg(base).arg(attempt);
        if (QFileInfo::exists(candidate))
            continue;
        if (QFile::rename(original, candidate))
            return candidate;
        return std::nullopt;
    }
    return std::nullopt;
}
