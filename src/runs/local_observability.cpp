#include "runs/local_observability.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QUrl>

#include <algorithm>
#include <array>
#include <climits>

namespace LocalObservability {

namespace {

const QStringList wantedColumns{
    QStringLiteral("rowid"),   QStringLiteral("start_ms"), QStringLiteral("duration_ms"),
    QStringLiteral("outcome"), QStringLiteral("error"),    QStringLiteral("method"),
    QStringLiteral("url"),     QStringLiteral("status"),
};

// A JSON number or numeric text as an integer (SQLite integers beyond 2^53 come as text).
std::optional<qint64> integer(const QJsonValue& value)
{
    if (value.isDouble())
        return qint64(value.toDouble());
    if (value.isString()) {
        bool ok = false;
        const qint64 number = value.toString().toLongLong(&ok);
        if (ok)
            return number;
    }
    return std::nullopt;
}

} // namespace

std::optional<Answer> parseAnswer(const QByteArray& body)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    QJsonObject result = document.object();
    // The API's envelope; an older description shows the result bare.
    if (result.contains(QStringLiteral("success"))) {
        if (!result.value(QStringLiteral("success")).toBool())
            return std::nullopt;
        result = result.value(QStringLiteral("result")).toObject();
    }
    const QJsonArray columns = result.value(QStringLiteral("columns")).toArray();
    const QJsonValue rowsValue = result.value(QStringLiteral("rows"));
    if (!rowsValue.isArray())
        return std::nullopt;
    std::array<qsizetype, 8> at{};
    for (size_t i = 0; i < at.size(); ++i) {
        at[i] = -1;
        for (qsizetype c = 0; c < columns.size(); ++c)
            if (columns.at(c).toString() == wantedColumns.at(qsizetype(i)))
                at[i] = c;
        if (at[i] < 0)
            return std::nullopt;
    }

    Answer answer;
    const QJsonArray rows = rowsValue.toArray();
    answer.spans.reserve(rows.size());
    for (const QJsonValue rowValue : rows) {
        const QJsonArray row = rowValue.toArray();
        const auto cell = [&row, &at](int column) { return row.at(at[size_t(column)]); };
        const std::optional<qint64> rowid = integer(cell(0));
        const std::optional<qint64> start = integer(cell(1));
        if (!rowid || !start)
            continue;
        Span span;
        span.rowid = *rowid;
        span.startMs = *start;
        span.durationMs = integer(cell(2));
        span.outcome = cell(3).toString();
        span.error = cell(4).toString();
        span.method = cell(5).toString();
        span.url = cell(6).toString();
        span.status = int(integer(cell(7)).value_or(0));
        answer.spans.append(std::move(span));
    }
    return answer;
}

QByteArray requestBody(const QString& sql)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("sql"), sql}}).toJson(QJsonDocument::Compact);
}

} // namespace LocalObservability

void ObservabilityCursor::raiseFrom(qint64 fromMs)
{
    fromMs_ = std::max(fromMs_, fromMs);
}

QString ObservabilityCursor::sql() const
{
    // Root spans only, through the index on start_ms; the attributes are JSONB, read with
    // json_extract. Open spans seen before are asked for by rowid until they close.
    QString where = QStringLiteral("rowid > %1").arg(lastRowid_);
    if (!open_.isEmpty()) {
        QList<qint64> rowids = open_.keys();
        std::sort(rowids.begin(), rowids.end());
        QStringList listed;
        listed.reserve(rowids.size());
        for (qint64 rowid : rowids)
            listed.append(QString::number(rowid));
        where = QStringLiteral("(%1 OR rowid IN (%2))").arg(where, listed.join(u','));
    }
    return QStringLiteral("SELECT rowid, start_ms, duration_ms, outcome, error,"
                          " json_extract(attributes, '$.\"http.request.method\"') AS method,"
                          " json_extract(attributes, '$.\"url.full\"') AS url,"
                          " json_extract(attributes, '$.\"http.response.status_code\"') AS status"
                          " FROM spans WHERE parent_id IS NULL AND start_ms >= %1 AND %2"
                          " ORDER BY rowid LIMIT %3")
        .arg(fromMs_)
        .arg(where)
        .arg(pageRows);
}

QList<ObservedRequest> ObservabilityCursor::take(const LocalObservability::Answer& answer,
                                                 bool* more)
{
    const qint64 takenUntil = lastRowid_;
    const bool full = answer.spans.size() >= pageRows;
    QHash<qint64, qint64> stillOpen;
    QList<ObservedRequest> requests;
    for (const LocalObservability::Span& span : answer.spans) {
        const bool wasOpen = open_.contains(span.rowid);
        if (span.rowid <= takenUntil && !wasOpen)
            continue; // taken before: an answer repeated or overlapping
        lastRowid_ = std::max(lastRowid_, span.rowid);
        if (span.startMs < fromMs_)
            continue;
        if (!span.durationMs) {
            if (stillOpen.size() < maxOpen)
                stillOpen.insert(span.rowid, span.startMs);
            continue;
        }
        if (span.method.isEmpty())
            continue; // a scheduled event, a queue batch, ...: no request
        ObservedRequest request;
        request.startMs = span.startMs;
        request.method = span.method;
        const QUrl url(span.url);
        request.path = url.isValid() && !url.path().isEmpty() ? url.path() : QStringLiteral("/");
        request.durationMs = int(std::clamp<qint64>(*span.durationMs, 0, INT_MAX));
        request.status = span.status;
        const bool thrown = span.outcome == u"exception" || span.outcome.startsWith(u"exceeded");
        if (!span.error.isEmpty())
            request.failure = span.error;
        else if (thrown)
            request.failure = span.outcome;
        requests.append(std::move(request));
    }
    // An open span missing from the answer has gone from the store (open spans come first:
    // their rowids are lower than any new row).
    open_ = std::move(stillOpen);
    if (more)
        *more = full;
    return requests;
}
