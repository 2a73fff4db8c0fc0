#include "model/traffic_polls.h"
#include "runs/project_runtime.h"
#include "support/qt_gtest_printers.h"
#include "support/run_state_access.h"
#include "support/wait_until.h"

#include <QDateTime>
#include <QMutex>

#include <gtest/gtest.h>

using LoopbackHttp::Answer;

namespace {

// Stands in for the server: answers each POST with the next of `answers` (the last one again
// once they run out) and counts the POSTs. Called on a background thread.
struct FakeServer
{
    QMutex mutex;
    QList<Answer> answers;
    int posts = 0;
    QByteArray lastBody;

    TrafficPolls::Post post()
    {
        return [this](const QString&, quint16, const QByteArray&, const QByteArray& body) {
            QMutexLocker lock(&mutex);
            ++posts;
            lastBody = body;
            return answers.size() > 1 ? answers.takeFirst() : answers.value(0);
        };
    }
    int count()
    {
        QMutexLocker lock(&mutex);
        return posts;
    }
};

Answer ok(const QByteArray& rows)
{
    return {
        Answer::Failure::none, 200,
        R"({"success":true,"result":{"columns":["rowid","start_ms","duration_ms","outcome","error","method","url","status"],"rows":[)" +
            rows + "]}}"};
}

void running(ProjectRuntime& runtime)
{
    RunStateTestAccess::setPid(runtime, 4242);
    RunStateTestAccess::setUrl(runtime, QUrl(QStringLiteral("http://localhost:8787")));
    RunStateTestAccess::setStatus(runtime, ProjectStatus::running());
}

// Asks for a read and waits until it is in.
void look(TrafficPolls& polls, ProjectRuntime& runtime)
{
    const QFuture<void> read = polls.refresh(QStringLiteral("/p"), &runtime);
    ASSERT_TRUE(QTest::qWaitFor([&read] { return read.isFinished(); }, 5000));
}

} // namespace

TEST(TrafficPolls, ReadsOnlyARunningServerNoOftenerThanTheIntervalAndGivesUpOnAMissingEndpoint)
{
    FakeServer server;
    TrafficPolls polls;
    polls.setPost(server.post());
    ProjectRuntime runtime;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    server.answers = {ok(QByteArray("[1,") + QByteArray::number(now + 10) +
                         R"(,4,"ok",null,"GET","http://localhost:8787/x",200])")};

    // A stopped server, and a made-up one without a process, are not asked.
    look(polls, runtime);
    RunStateTestAccess::setUrl(runtime, QUrl(QStringLiteral("http://localhost:8787")));
    RunStateTestAccess::setStatus(runtime, ProjectStatus::running());
    look(polls, runtime);
    EXPECT_EQ(server.count(), 0);

    running(runtime);
    look(polls, runtime);
    EXPECT_EQ(server.count(), 1);
    EXPECT_TRUE(server.lastBody.contains("FROM spans WHERE parent_id IS NULL"))
        << server.lastBody.toStdString();
    EXPECT_EQ(runtime.activity()->source(), ServerActivity::Source::endpoint);
    EXPECT_EQ(runtime.activity()->traffic().requests, 1u);
    // Looks within the interval read nothing more.
    look(polls, runtime);
    look(polls, runtime);
    EXPECT_EQ(server.count(), 1);

    // A new run of a server that has no endpoint: asked once, then its lines count.
    RunStateTestAccess::setStatus(runtime, ProjectStatus::stopped());
    {
        QMutexLocker lock(&server.mutex);
        server.answers = {{Answer::Failure::none, 404, "404 Not Found"}};
    }
    running(runtime);
    look(polls, runtime);
    EXPECT_EQ(server.count(), 2);
    EXPECT_EQ(runtime.activity()->source(), ServerActivity::Source::requestLines);
    QTest::qWait(int(TrafficPolls::interval.count()) + 100);
    look(polls, runtime);
    EXPECT_EQ(server.count(), 2) << "not asked again in this run";
}
