#include "storage/running_record.h"

#include "storage/json_fields.h"
#include "storage/storage.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {
namespace key {
const QString pid = QStringLiteral("pid");
const QString projectID = QStringLiteral("projectID");
const QString startSec = QStringLiteral("startSec");
} // namespace key
} // namespace

QJsonArray encodeRunningRecords(const QList<RunningRecord>& records)
{
    QJsonArray array;
    for (const RunningRecord& record : records) {
        array.append(QJsonObject{
            {key::pid, qint64(record.pid)},
            {key::projectID, record.projectID},
            {key::startSec, qint64(record.startSec)},
        });
    }
    return array;
}

std::optional<QList<RunningRecord>> decodeRunningRecords(const QByteArray& json)
{
    using namespace json_fields;
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isArray())
        return std::nullopt;
    QList<RunningRecord> records;
    for (const QJsonValue value : document.array()) {
        if (!value.isObject())
            return std::nullopt;
        const QJsonObject object = value.toObject();
        RunningRecord record;
        if (!readInteger(object, key::pid, record.pid) ||
            !readString(object, key::projectID, record.projectID) ||
            !readInteger(object, key::startSec, record.startSec))
            return std::nullopt;
        records.append(std::move(record));
    }
    return records;
}

QList<RunningRecord> loadRunningRecords()
{
    const DataFileRead read = readDataFile(QString::fromLatin1(runningFileName));
    if (read.status != DataFileRead::Status::read)
        return {};
    return decodeRunningRecords(read.bytes).value_or(QList<RunningRecord>{});
}

std::optional<QString> saveRunningRecords(const QList<RunningRecord>& records)
{
    const QString fileName = QString::fromLatin1(runningFileName);
    if (records.isEmpty()) {
        deleteDataFile(fileName);
        return std::nullopt;
    }
    return saveJSON(encodeRunningRecords(records), fileName);
}
