#include "control/log_read.h"

#include "control/status_report.h"
#include "model/app_model.h"
#include "runs/log_filter.h"
#include "runs/project_runtime.h"

#include <QJsonArray>

#include <algorithm>

QJsonObject selectLogLines(const QList<LogLine>& lines, qint64 nextID,
                           const ControlRequest& original)
{
    // An id this log never gave out comes from before the application restarted (ids begin
    // again at 0): read the last lines instead of waiting for that id forever.
    ControlRequest request = original;
    const bool unknownID = request.after && *request.after >= nextID;
    if (unknownID)
        request.after.reset();
    const LogFilter filter(request.filter, request.problemsOnly);
    // Ids increase in order: the first line after `after` by binary search.
    const auto begin =
        request.after
            ? std::upper_bound(lines.cbegin(), lines.cend(), *request.after,
                               [](qint64 id, const LogLine& line) { return id < line.id; })
            : lines.cbegin();
    // The lines that pass, as the Logs view would show them: its rule carries from line to
    // line (a stack frame goes with the problem above it), so it walks from the start.
    QList<const LogLine*> passing;
    if (filter.isEmpty()) {
        for (auto it = begin; it != lines.cend(); ++it)
            passing.append(&*it);
    } else {
        bool afterProblem = false;
        for (auto it = lines.cbegin(); it != lines.cend(); ++it)
            if (filter.passes(it->text, afterProblem) && it >= begin)
                passing.append(&*it);
    }
    const bool more = request.after && passing.size() > request.lines;
    const QList<const LogLine*> chosen =
        request.after ? passing.first(qMin<qsizetype>(request.lines, passing.size()))
                      : passing.last(qMin<qsizetype>(request.lines, passing.size()));

    QJsonArray entries;
    for (const LogLine* line : std::as_const(chosen)) {
        QJsonObject entry{{QStringLiteral("id"), double(line->id)},
                          {QStringLiteral("text"), line->text}};
        if (line->isError)
            entry.insert(QStringLiteral("stderr"), true);
        entries.append(entry);
    }
    QJsonObject answer = ControlAnswer::success({{QStringLiteral("lines"), entries}});
    // Read up to here: the last line returned when more are waiting, else every line so far.
    const qint64 lastID = more ? chosen.last()->id : nextID - 1;
    if (lastID >= 0)
        answer.insert(QStringLiteral("lastId"), double(lastID));
    answer.insert(QStringLiteral("more"), more);
    if (unknownID)
        answer.insert(QStringLiteral("restarted"), true);
    if (request.after) {
        const qint64 firstHeld = lines.isEmpty() ? nextID : lines.first().id;
        if (const qint64 missed = firstHeld - *request.after - 1; missed > 0)
            answer.insert(QStringLiteral("missed"), double(missed));
    }
    return answer;
}

QJsonObject readLog(AppModel& model, const QString& path, const ControlRequest& request)
{
    const ProjectRuntime* runtime = model.runtimeFor(path);
    const LogBuffer* log = runtime->log();
    QJsonObject answer = selectLogLines(log->lines(), log->nextID(), request);
    answer.insert(QStringLiteral("status"), statusName(runtime->status().kind()));
    if (!runtime->status().message().isEmpty())
        answer.insert(QStringLiteral("message"), runtime->status().message());
    if (runtime->external() && !runtime->managed())
        answer.insert(QStringLiteral("external"), true);
    return answer;
}
