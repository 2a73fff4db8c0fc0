#include "runs/request_line.h"
#include "supervision/line_splitter.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace OutputParser;

namespace {

// Every cleaned line of every captured stream of the real runs.
QStringList corpusLines()
{
    QStringList lines;
    const QDir folder(QStringLiteral(TALLOWMERE_CORPUS_DIR "/dev-server-output"));
    for (const QString& name :
         folder.entryList({QStringLiteral("*.stdout.raw"), QStringLiteral("*.stderr.raw")})) {
        QFile file(folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        LineSplitter splitter;
        lines += splitter.feed(file.readAll());
        if (const std::optional<QString> rest = splitter.flush())
            lines += *rest;
    }
    return lines;
}

} // namespace

TEST(RequestLine, CorpusRequestsAreReadAndNothingElseIs)
{
    const QStringList lines = corpusLines();
    ASSERT_GT(lines.size(), 100);
    QList<RequestLine> requests;
    QStringList errorLogs;
    for (const QString& line : lines) {
        if (const std::optional<RequestLine> request = requestLine(line))
            requests.append(*request);
        if (const std::optional<QStringView> message = errorLog(line))
            errorLogs.append(message->toString());
        EXPECT_FALSE(uncaughtException(line)) << line.toStdString();
    }
    // Three requests to the Worker and one to the Pages project; the ready lines are no
    // requests.
    ASSERT_EQ(requests.size(), 4);
    for (const RequestLine& request : requests) {
        EXPECT_EQ(request.method, u"GET");
        EXPECT_EQ(request.path, u"/");
        EXPECT_EQ(request.status, 200);
        EXPECT_EQ(request.statusText, u"OK");
        EXPECT_TRUE(request.note.isEmpty());
    }
    QList<int> durations;
    for (const RequestLine& request : requests)
        durations.append(request.durationMs);
    std::sort(durations.begin(), durations.end());
    EXPECT_EQ(durations, (QList<int>{1, 2, 19, 201}));
    // The framed errors of the port conflicts, their colours already removed.
    ASSERT_FALSE(errorLogs.isEmpty());
    for (const QString& message : errorLogs)
        EXPECT_TRUE(message.startsWith(QStringLiteral("Address already in use")))
            << message.toStdString();
}

TEST(RequestLine, EdgeCasesOfTheRequestFormat)
{
    // Node has no text for some statuses: two spaces are left.
    std::optional<RequestLine> request = requestLine(u"[wrangler:info] POST /api 299  (12ms)");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->method, u"POST");
    EXPECT_EQ(request->path, u"/api");
    EXPECT_EQ(request->status, 299);
    EXPECT_TRUE(request->statusText.isEmpty());
    EXPECT_EQ(request->durationMs, 12);

    // A status text of several words, and the asset Worker's note after the time.
    request = requestLine(u"[wrangler:info] GET /missing 404 Not Found (3ms) `Sec-Fetch-Mode: "
                          u"navigate` header present - using `not_found_handling` behavior");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->status, 404);
    EXPECT_EQ(request->statusText, u"Not Found");
    EXPECT_EQ(request->durationMs, 3);
    EXPECT_TRUE(request->note.startsWith(u"`Sec-Fetch-Mode"));

    // A long path, taken whole, with brackets of its own that are no time.
    const QString longPath = QStringLiteral("/a(1ms)b") + QString(5000, QLatin1Char('x'));
    request = requestLine(QStringLiteral("[wrangler:info] DELETE %1 500 Internal Server Error "
                                         "(1234ms)")
                              .arg(longPath));
    ASSERT_TRUE(request);
    EXPECT_EQ(request->path, longPath);
    EXPECT_EQ(request->statusText, u"Internal Server Error");
    EXPECT_EQ(request->durationMs, 1234);

    // The proxy's own prefix at debug level.
    request = requestLine(u"[wrangler-ProxyWorker:info] PUT /k 201 Created (0ms)");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->status, 201);

    // Not requests: the ready line, other levels, broken numbers, a Worker's look-alike log
    // without a time, and a time not at the end of the status text.
    for (const char16_t* line :
         {u"[wrangler:info] Ready on http://localhost:8787", u"[wrangler:warn] GET / 200 OK (1ms)",
          u"[wrangler:info] GET / 2000 OK (1ms)", u"[wrangler:info] GET / 20x OK (1ms)",
          u"[wrangler:info] GET / 200 OK", u"[wrangler:info] GET / 200 OK (fast)",
          u"[wrangler:info] GET / 200 OK (1ms)trailing", u"[wrangler:info] get / 200 OK (1ms)",
          u"[wrangler:info] GET nopath 200 OK (1ms)", u"[wranglerx:info] GET / 200 OK (1ms)",
          u"[wrangler:info]GET / 200 OK (1ms)", u"GET / 200 OK (1ms)", u""})
        EXPECT_FALSE(requestLine(line)) << QString::fromUtf16(line).toStdString();
}

TEST(RequestLine, ExceptionsAndErrorLogs)
{
    const std::optional<UncaughtException> thrown =
        uncaughtException(u"[wrangler:error] TypeError: Cannot read properties of undefined");
    ASSERT_TRUE(thrown);
    EXPECT_EQ(thrown->name, u"TypeError");
    EXPECT_EQ(thrown->message, u"Cannot read properties of undefined");
    EXPECT_FALSE(uncaughtException(u"[wrangler:error] something went wrong"));
    EXPECT_FALSE(uncaughtException(u"[wrangler:info] Error: not at error level"));
    EXPECT_FALSE(uncaughtException(u"    at fetch (index.js:3:11)"));

    EXPECT_EQ(errorLog(u"✘ [ERROR] database unreachable"), u"database unreachable");
    EXPECT_EQ(errorLog(u"  ✘ [ERROR]   "), u"");
    EXPECT_FALSE(errorLog(u"▲ [WARNING] slow"));
    EXPECT_FALSE(errorLog(u"[ERROR] no cross"));
}
