#include "control/service_start_reply.h"

#include "base/deliver.h"
#include "control/control_protocol.h"
#include "control/control_reply.h"
#include "control/status_report.h"
#include "model/app_model.h"
#include "model/service_start.h"

#include <QJsonArray>
#include <QPointer>

namespace {

struct Progress
{
    QStringList paths;
    qsizetype next = 0;
    QStringList reported; // paths that have a result already
    QJsonArray results;
    QJsonArray notes;
    bool ok = true;
};

QJsonObject resultFor(AppModel& model, const QString& path, bool ok, const QString& error = {})
{
    QJsonObject result;
    if (const std::optional<Project> project = model.findProject(path))
        result = statusEntry(model, *project, model.displayName(*project));
    else
        result.insert(QStringLiteral("path"), path);
    result.insert(QStringLiteral("ok"), ok);
    if (!ok)
        result.insert(QStringLiteral("error"), error);
    return result;
}

void step(const QPointer<AppModel>& model, const std::shared_ptr<Progress>& progress,
          ControlReply* reply)
{
    if (!model)
        return;
    if (progress->next == progress->paths.size()) {
        QJsonObject answer = ControlAnswer::success({{QStringLiteral("results"), progress->results},
                                                     {QStringLiteral("notes"), progress->notes}});
        if (!progress->ok) {
            answer.insert(QStringLiteral("ok"), false);
            answer.insert(QStringLiteral("kind"), QStringLiteral("failed"));
        }
        reply->finish(answer);
        return;
    }
    const QString path = progress->paths[progress->next++];
    deliverTo(reply, startWithServices(*model, path),
              [model, progress, reply, path](const ServiceStartOutcome& outcome) {
                  if (!model)
                      return;
                  for (const ServiceStartOutcome::Started& started : outcome.started)
                      if (!progress->reported.contains(started.path)) {
                          progress->reported.append(started.path);
                          progress->results.append(resultFor(*model, started.path, true));
                      }
                  if (outcome.failure) {
                      progress->ok = false;
                      progress->results.append(resultFor(*model, path, false, *outcome.failure));
                  } else if (!progress->reported.contains(path)) {
                      progress->reported.append(path);
                      progress->results.append(resultFor(*model, path, true));
                  }
                  for (const QString& note : serviceStartNotes(*model, outcome))
                      if (!progress->notes.contains(note))
                          progress->notes.append(note);
                  step(model, progress, reply);
              });
}

} // namespace

void answerServiceStart(AppModel& model, const QStringList& paths, ControlReply* reply)
{
    auto progress = std::make_shared<Progress>();
    progress->paths = paths;
    step(QPointer<AppModel>(&model), progress, reply);
}
