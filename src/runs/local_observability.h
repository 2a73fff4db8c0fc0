#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>

// Wrangler's local observability (on by default from 4.118): every dev server keeps the spans
// and logs of the Worker's invocations in SQLite and answers one read-only SELECT per POST to
// `path` with `{"success":true,"result":{"columns":[...],"rows":[[...],...]}}`. The root span
// of a fetch (parent_id NULL) carries the method, URL and response status in its JSONB
// `attributes`. Rows are written when a span opens (duration_ms NULL until it closes) and
// updated in place when it closes, so a span's rowid never changes: the rowid is the cursor
// of an incremental read. Pure; safe on any thread.
namespace LocalObservability {

inline constexpr char path[] = "/cdn-cgi/explorer/api/local/observability/query";

// One root span as the query below selects it.
struct Span
{
    qint64 rowid = 0;
    qint64 startMs = 0;               // since the Unix epoch
    std::optional<qint64> durationMs; // none while the span is still open
    QString outcome;                  // "ok", "exception", "canceled", ...
    QString error;                    // the uncaught exception, if any
    QString method;                   // empty for an invocation that is no fetch
    QString url;
    int status = 0; // 0 when no response was sent
    friend bool operator==(const Span&, const Span&) = default;
};

struct Answer
{
    QList<Span> spans;
};

// The spans of an answer, or none when the body is no successful answer to this query (an
// error answer, another server's page, a column missing).
std::optional<Answer> parseAnswer(const QByteArray& body);

// The SQL text, as JSON for the POST body.
QByteArray requestBody(const QString& sql);

} // namespace LocalObservability

// A request as local observability reports it: a closed root span of a fetch.
struct ObservedRequest
{
    qint64 startMs = 0; // since the Unix epoch
    QString method;
    QString path;
    int status = 0;
    int durationMs = 0;
    QString failure; // the uncaught exception behind it; empty otherwise
    friend bool operator==(const ObservedRequest&, const ObservedRequest&) = default;
};

// Where an incremental read of one server's root spans stands: every span with a rowid up to
// `lastRowid` has been taken, except the few still open then, which are asked for again until
// they close. Spans that started before `fromMs` belong to what was counted otherwise (an
// earlier run, the request lines) and are never taken. Holds at most `maxOpen` open spans and
// asks for at most `pageRows` rows at a time.
class ObservabilityCursor
{
public:
    static constexpr int pageRows = 1000;
    static constexpr int maxOpen = 200;

    explicit ObservabilityCursor(qint64 fromMs = 0) : fromMs_(fromMs) {}

    qint64 fromMs() const { return fromMs_; }
    // Spans that start before this are left out from now on (it only moves forward).
    void raiseFrom(qint64 fromMs);

    QString sql() const;
    // The requests that closed since the last answer, each once; advances the cursor. Sets
    // `more` when the page was full (the next read continues at once).
    QList<ObservedRequest> take(const LocalObservability::Answer& answer, bool* more = nullptr);

    qint64 lastRowid() const { return lastRowid_; }
    qsizetype openSpans() const { return open_.size(); }

private:
    qint64 fromMs_;
    qint64 lastRowid_ = 0;
    QHash<qint64, qint64> open_; // rowid -> start
};
