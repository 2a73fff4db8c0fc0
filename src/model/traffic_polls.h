#pragma once

#include "runs/loopback_http.h"

#include <QElapsedTimer>
#include <QFuture>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

class ProjectRuntime;
template <typename T> class QPromise;

// Reads the local observability of each running server into its traffic figures, only while
// somebody looks (the window's Overview, a status or MCP client) and at most once per server
// every `interval`: each look asks `refresh`, which reads when the last read is older. A server
// that answers no such endpoint (404, a page of its own, an older Wrangler) is not asked again
// during that run and keeps counting its request lines; one that cannot be reached three times
// in a row goes back to its lines until it answers again. Main thread only.
class TrafficPolls : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds interval{5000};
    static constexpr std::chrono::milliseconds timeout{2000};
    // Pages read one after the other in one refresh when the server holds more.
    static constexpr int maxPages = 10;

    // One POST to a server; runs on a background thread.
    using Post = std::function<LoopbackHttp::Answer(
        const QString& host, quint16 port, const QByteArray& target, const QByteArray& body)>;

    explicit TrafficPolls(QObject* parent = nullptr);
    ~TrafficPolls() override;

    // Resolves once the read is in, at once when none is due (or the server offers none).
    // `key` names the project; `runtime` is its run state.
    QFuture<void> refresh(const QString& key, ProjectRuntime* runtime);
    // The project left: its state goes.
    void forget(const QString& key) { polls_.remove(key); }

    void setPost(Post post) { post_ = std::move(post); }

private:
    struct Poll
    {
        quint64 run = 0;
        bool absent = false; // answers no endpoint in this run
        int failures = 0;    // unreachable in a row
        QElapsedTimer last;  // since the last read was sent
        QFuture<void> inFlight;
    };

    void read(const QString& key, const QPointer<ProjectRuntime>& runtime,
              std::shared_ptr<QPromise<void>> done, int page);

    Post post_;
    QHash<QString, Poll> polls_;
};
