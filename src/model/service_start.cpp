#include "model/service_start.h"

#include "base/deliver.h"
#include "discovery/dev_registry_watcher.h"
#include "model/app_model.h"
#include "model/service_links.h"
#include "runs/project_runtime.h"

#include <QElapsedTimer>
#include <QPromise>
#include <QTimer>

namespace {

// One start with local services under way; deletes itself once its outcome is set. A child of
// the model: gone with it, which cancels the future.
class ServiceStartRun : public QObject
{
public:
    ServiceStartRun(AppModel& model, const QString& path, ServiceStartTiming timing)
        : QObject(&model), model_(model), timing_(timing), plan_(serviceStartPlan(model, path))
    {
        limit_.setSingleShot(true);
        grace_.setSingleShot(true);
        connect(&limit_, &QTimer::timeout, this, [this] { giveUp(); });
        connect(&grace_, &QTimer::timeout, this, [this] { evaluate(); });
        connect(model_.devRegistry(), &DevRegistryWatcher::entriesChanged, this,
                [this] { evaluate(); });
        outcome_.unresolved = plan_.unresolved;
        for (const StartStep& step : std::as_const(plan_.steps))
            if (step.cycle())
                outcome_.cycles.append(step.projectIDs);
        promise_.start();
    }

    QFuture<ServiceStartOutcome> future() { return promise_.future(); }

    void run()
    {
        if (plan_.steps.isEmpty()) {
            finish(QStringLiteral("Project not found"));
            return;
        }
        nextStep();
    }

private:
    struct Member
    {
        QString path;
        bool startedHere = false;
        bool running = false; // its start's outcome came back ok
        QElapsedTimer runningSince;
        bool settled = false;
    };

    QString nameOf(const QString& path) const
    {
        const std::optional<Project> project = model_.findProject(path);
        return project ? model_.displayName(*project) : path;
    }

    void nextStep()
    {
        if (++step_ == plan_.steps.size()) {
            finish({});
            return;
        }
        members_.clear();
        for (const QString& path : plan_.steps[step_].projectIDs) {
            Member member;
            member.path = path;
            const ProjectRuntime* runtime = model_.runtimeFor(path);
            // Already running (here or elsewhere): left as it is, only awaited.
            member.startedHere = runtime && !runtime->status().isActive();
            members_.append(member);
        }
        limit_.start(timing_.stepLimit);
        // All members of a step are started before any is awaited, so that the members of a
        // cycle start together.
        const qsizetype step = step_;
        for (const Member& member : std::as_const(members_)) {
            const ProjectRuntime* runtime = model_.runtimeFor(member.path);
            if (!runtime) {
                finish(nameOf(member.path) + QStringLiteral(": the project was removed"));
                return;
            }
            QFuture<StartOutcome> outcome =
                member.startedHere ? model_.startProject(member.path) : runtime->currentStart();
            deliverTo(this, std::move(outcome),
                      [this, step, path = member.path](const StartOutcome& outcome) {
                          started(step, path, outcome);
                      });
        }
    }

    void started(qsizetype step, const QString& path, const StartOutcome& outcome)
    {
        if (done_ || step != step_)
            return;
        if (!outcome.ok) {
            finish(nameOf(path) + QStringLiteral(": ") + outcome.error);
            return;
        }
        for (Member& member : members_)
            if (member.path == path && !member.running) {
                member.running = true;
                member.runningSince.start();
                model_.devRegistry()->refresh();
            }
        evaluate();
    }

    void evaluate()
    {
        if (done_ || step_ < 0 || step_ >= plan_.steps.size())
            return;
        for (Member& member : members_)
            if (member.running && !member.settled && !evaluate(member))
                return;
        if (std::all_of(members_.cbegin(), members_.cend(),
                        [](const Member& member) { return member.settled; })) {
            limit_.stop();
            grace_.stop();
            nextStep();
        }
    }

    // A member that runs: settled once registered, or once the grace is over. False when the
    // start failed (and has been finished).
    bool evaluate(Member& member)
    {
        const ProjectRuntime* runtime = model_.runtimeFor(member.path);
        if (!runtime || runtime->status().kind() != ProjectStatus::Kind::running) {
            finish(nameOf(member.path) + QStringLiteral(": ") +
                   (runtime && !runtime->status().message().isEmpty()
                        ? runtime->status().message()
                        : QStringLiteral("the server exited")));
            return false;
        }
        const bool registered = isRegistered(model_, member.path);
        const auto waited = std::chrono::milliseconds(member.runningSince.elapsed());
        if (!registered && !registryWorkerNameOf(model_, member.path).isEmpty() &&
            waited < timing_.registrationGrace) {
            if (!grace_.isActive())
                grace_.start(timing_.registrationGrace - waited);
            return true;
        }
        member.settled = true;
        if (member.startedHere)
            outcome_.started.append({member.path, runtime->url(), registered});
        return true;
    }

    void giveUp()
    {
        for (const Member& member : std::as_const(members_))
            if (!member.settled) {
                finish(nameOf(member.path) + QStringLiteral(": still starting; gave up waiting"));
                return;
            }
    }

    void finish(const std::optional<QString>& failure)
    {
        if (done_)
            return;
        done_ = true;
        limit_.stop();
        grace_.stop();
        if (failure && !failure->isEmpty())
            outcome_.failure = failure;
        promise_.addResult(outcome_);
        promise_.finish();
        deleteLater();
    }

    AppModel& model_;
    ServiceStartTiming timing_;
    StartPlan plan_;
    qsizetype step_ = -1;
    QList<Member> members_;
    QTimer limit_;
    QTimer grace_;
    bool done_ = false;
    ServiceStartOutcome outcome_;
    QPromise<ServiceStartOutcome> promise_;
};

} // namespace

QFuture<ServiceStartOutcome> startWithServices(AppModel& model, const QString& path,
                                               ServiceStartTiming timing)
{
    auto* run = new ServiceStartRun(model, path, timing);
    QFuture<ServiceStartOutcome> future = run->future();
    run->run();
    return future;
}

QStringList serviceStartNotes(const AppModel& model, const ServiceStartOutcome& outcome)
{
    const auto nameOf = [&model](const QString& path) {
        const std::optional<Project> project = model.findProject(path);
        return project ? model.displayName(*project) : path;
    };
    QStringList notes;
    for (const UnresolvedWorker& missing : outcome.unresolved)
        notes.append(nameOf(missing.projectID) + QStringLiteral(" binds to ") + missing.worker +
                     QStringLiteral(", which no single registered project provides"));
    for (const QStringList& cycle : outcome.cycles) {
        QStringList names;
        for (const QString& path : cycle)
            names.append(nameOf(path));
        notes.append(names.join(QStringLiteral(", ")) +
                     QStringLiteral(" need each other: started together"));
    }
    return notes;
}
