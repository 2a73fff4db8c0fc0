#include "runs/local_observability.h"
#include "support/qt_gtest_printers.h"

#include <QFile>

#include <gtest/gtest.h>

using LocalObservability::Answer;
using LocalObservability::Span;

namespace {

// What `wrangler dev` 4.168.0 answered to the cursor's first query after GET /, /a?x=1, /fail
// (a 500), /throw (an uncaught exception, which Wrangler turns into a 500 with outcome "ok"),
// /missing (a 404) and twice a /slow of four seconds, then the same five again.
QByteArray recordedAnswer()
{
    QFile file(QStringLiteral(TALLOWMERE_SOURCE_DIR
                              "/tests/runs/fixtures/observability-answer-wrangler-4.168.0.json"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

Span closed(qint64 rowid, qint64 startMs, int status, const QString& outcome = QStringLiteral("ok"),
            const QString& error = {})
{
    return {rowid,
            startMs,
            3,
            outcome,
            error,
            QStringLiteral("GET"),
            QStringLiteral("http://localhost:8787/r%1?q=1").arg(rowid),
            status};
}

} // namespace

TEST(LocalObservability, ARecordedAnswerIsTakenOnceFromWhereTheCursorStands)
{
    const std::optional<Answer> answer = LocalObservability::parseAnswer(recordedAnswer());
    ASSERT_TRUE(answer);
    ASSERT_EQ(answer->spans.size(), 11);
    EXPECT_EQ(answer->spans[1], (Span{2,
                                      1796733791874,
                                      1,
                                      QStringLiteral("ok"),
                                      {},
                                      QStringLiteral("GET"),
                                      QStringLiteral("http://localhost:8911/a?x=1"),
                                      200}));
    EXPECT_EQ(answer->spans[5].durationMs, 4002);

    // Spans before the run (or before the last request line) are not taken.
    ObservabilityCursor cursor(1796733791880);
    const QList<ObservedRequest> requests = cursor.take(*answer);
    ASSERT_EQ(requests.size(), 9);
    EXPECT_EQ(requests.first(),
              (ObservedRequest{
                  1796733791892, QStringLiteral("GET"), QStringLiteral("/fail"), 500, 1, {}}));
    EXPECT_EQ(requests.last().path, u"/a") << "the path without its query, like a request line";
    int failed = 0;
    for (const ObservedRequest& request : requests)
        failed += request.status >= 500;
    EXPECT_EQ(failed, 4);
    EXPECT_EQ(cursor.lastRowid(), 11);
    EXPECT_TRUE(cursor.take(*answer).isEmpty()) << "an answer repeated counts nothing";
    EXPECT_TRUE(cursor.sql().contains(u"start_ms >= 1796733791880 AND rowid > 11"))
        << cursor.sql().toStdString();

    // A span still open is asked for again until it closes, then taken once.
    Answer next;
    Span open = closed(12, 1796733800000, 0);
    open.durationMs.reset();
    next.spans = {open, closed(13, 1796733800001, 200)};
    EXPECT_EQ(cursor.take(next).size(), 1);
    EXPECT_EQ(cursor.openSpans(), 1);
    EXPECT_TRUE(cursor.sql().contains(u"(rowid > 13 OR rowid IN (12))"))
        << cursor.sql().toStdString();
    // It closed with an exception; a scheduled event (no method) is no request.
    Span scheduled = closed(14, 1796733800002, 0);
    scheduled.method.clear();
    next.spans = {
        closed(12, 1796733800000, 0, QStringLiteral("exception"), QStringLiteral("Error: boom")),
        scheduled, closed(15, 1796733800003, 503, QStringLiteral("exceededCpu"))};
    const QList<ObservedRequest> late = cursor.take(next);
    ASSERT_EQ(late.size(), 2);
    EXPECT_EQ(late[0].failure, u"Error: boom");
    EXPECT_EQ(late[0].startMs, 1796733800000);
    EXPECT_EQ(late[1].failure, u"exceededCpu");
    EXPECT_EQ(cursor.openSpans(), 0);
    EXPECT_FALSE(cursor.sql().contains(u"rowid IN"));
}

TEST(LocalObservability, AnythingButASuccessfulAnswerWithTheColumnsIsNone)
{
    // The bare form the API description shows is taken as well.
    const std::optional<Answer> bare = LocalObservability::parseAnswer(
        R"({"columns":["status","rowid","start_ms","duration_ms","outcome","error","method","url"],
            "rows":[[201,"9007199254740993",5,null,"ok",null,"PUT","http://h/x"]]})");
    ASSERT_TRUE(bare);
    ASSERT_EQ(bare->spans.size(), 1);
    EXPECT_EQ(bare->spans[0].rowid, 9007199254740993) << "a large integer sent as text";
    EXPECT_EQ(bare->spans[0].status, 201);
    EXPECT_FALSE(bare->spans[0].durationMs);

    // As 4.168.0 answers a query it refuses, and what other servers answer on that path.
    for (
        const char* body :
        {R"({"success":false,"errors":[{"code":10131,"message":"Only a single statement is allowed"}],"messages":[],"result":null})",
         R"({"success":true,"result":{"columns":["rowid","start_ms"],"rows":[]}})", "404 Not Found",
         "<!doctype html><html></html>", ""})
        EXPECT_FALSE(LocalObservability::parseAnswer(body)) << body;

    EXPECT_EQ(LocalObservability::requestBody(QStringLiteral("SELECT '$.\"a\"'")),
              R"({"sql":"SELECT '$.\"a\"'"})");
}
