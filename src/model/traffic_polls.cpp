#include "model/traffic_polls.h"

#include "base/deliver.h"
#include "base/work_pools.h"
#include "model/future_helpers.h"
#include "runs/local_observability.h"
#include "runs/project_runtime.h"

#include <QPromise>
#include <QtConcurrent/QtConcurrentRun>

TrafficPolls::TrafficPolls(QObject* parent)
    : QObject(parent), post_([](const QString& host, quint16 port, const QByteArray& target,
                                const QByteArray& body) {
          return LoopbackHttp::postJson(host, port, target, body, timeout);
      })
{}

TrafficPolls::~TrafficPolls() = default;

QFuture<void> TrafficPolls::refresh(const QString& key, ProjectRuntime* runtime)
{
    // A server of this machine, running at a known address; a made-up one (demo mode) has no
    // process of its own and its address may well be another server's.
    if (!runtime || runtime->status().kind() != ProjectStatus::Kind::running || !runtime->url() ||
        (!runtime->pid() && !runtime->attachedPID() && runtime->externalPIDs().isEmpty()))
        return Futures::ready();
    Poll& poll = polls_[key];
    const quint64 run = runtime->activity()->runNumber();
    if (poll.run != run)
        poll = Poll{run, false, 0, {}, {}};
    if (poll.absent)
        return Futures::ready();
    if (poll.inFlight.isValid() && !poll.inFlight.isFinished())
        return poll.inFlight;
    if (poll.last.isValid() && poll.last.elapsed() < interval.count())
        return Futures::ready();
    poll.last.start();
    auto done = Futures::shared<void>();
    poll.inFlight = done->future();
    read(key, runtime, done, 1);
    return poll.inFlight;
}

void TrafficPolls::read(const QString& key, const QPointer<ProjectRuntime>& runtime,
                        std::shared_ptr<QPromise<void>> done, int page)
{
    const QUrl url = *runtime->url();
    const quint64 run = runtime->activity()->runNumber();
    const QByteArray body =
        LocalObservability::requestBody(runtime->activity()->endpointCursor().sql());
    QFuture<LoopbackHttp::Answer> answer =
        QtConcurrent::run(WorkPools::waiting(),
                          [post = post_, host = url.host(), port = quint16(url.port(80)), body] {
                              return post(host, port, QByteArray(LocalObservability::path), body);
                          });
    deliverTo(this, std::move(answer),
              [this, key, runtime, done, page, run](const LoopbackHttp::Answer& answer) {
                  const auto finish = [&done] { done->finish(); };
                  const auto found = polls_.find(key);
                  // The project left, or its server ended, while the read was under way.
                  if (!runtime || found == polls_.end() ||
                      runtime->activity()->runNumber() != run || found->run != run)
                      return finish();
                  Poll& poll = *found;
                  ServerActivity& activity = *runtime->activity();
                  if (!answer.ok() || answer.status >= 500) {
                      if (++poll.failures >= 3)
                          activity.useRequestLines();
                      return finish();
                  }
                  const std::optional<LocalObservability::Answer> parsed =
                      answer.status == 200 ? LocalObservability::parseAnswer(answer.body)
                                           : std::nullopt;
                  if (!parsed) {
                      poll.absent = true;
                      activity.useRequestLines();
                      return finish();
                  }
                  poll.failures = 0;
                  if (activity.addObserved(*parsed) && page < maxPages &&
                      runtime->status().kind() == ProjectStatus::Kind::running && runtime->url())
                      return read(key, runtime, done, page + 1);
                  finish();
              });
}
