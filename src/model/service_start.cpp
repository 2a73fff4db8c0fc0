#include "model/service_start.h"

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
        // A start that inspects the project first goes on right after the record is applied.
        connect(
            &model_, &AppModel::infosChanged, this, [this] { evaluate(); }, Qt::QueuedConnection);
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
        bool begun = false; // seen starting
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
            ProjectRuntime* runtime = model_.runtimeFor(path);
            // Each project is in one step only, so it is connected once.
            connect(runtime, &ProjectRuntime::statusChanged, this, [this] { evaluate(); });
            // Already running (here or elsewhere): left as it is, only awaited.
            member.startedHere = !runtime->status().isActive();
            members_.append(member);
        }
        // All members of a step first, so that a cycle's members start together.
        for (const Member& member : std::as_const(members_))
            if (member.startedHere)
                model_.startProject(member.path);
        limit_.start(timing_.stepLimit);
        evaluate();
    }

    void evaluate()
    {
        if (done_ || step_ < 0 || step_ >= plan_.steps.size())
            return;
        for (Member& member : members_)
            if (!member.settled && !evaluate(member))
                return;
        if (std::all_of(members_.cbegin(), members_.cend(),
                        [](const Member& member) { return member.settled; })) {
            limit_.stop();
            grace_.stop();
            nextStep();
        }
    }

    // False when the start failed (and has been finished).
    bool evaluate(Member& member)
    {
        if (!model_.findProject(member.path)) {
            finish(nameOf(member.path) + QStringLiteral(": the project was removed"));
            return false;
        }
        const ProjectStatus& status = model_.runtimeFor(member.path)->status();
        switch (status.kind()) {
        case ProjectStatus::Kind::starting: member.begun = true; return true;
        case ProjectStatus::Kind::error:
            // A start that inspects first still shows the previous state until it has begun.
            if (member.begun || !member.startedHere || model_.infoFor(member.path)) {
                finish(nameOf(member.path) + QStringLiteral(": ") + status.message());
                return false;
            }
            return true;
        case ProjectStatus::Kind::stopped:
            if (member.begun || !member.startedHere) {
                finish(nameOf(member.path) + QStringLiteral(": the server exited"));
                return false;
            }
            return true;
        case ProjectStatus::Kind::running: break;
        }
        if (!member.runningSince.isValid()) {
            member.runningSince.start();
            model_.devRegistry()->refresh();
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
            outcome_.started.append(
                {member.path, model_.runtimeFor(member.path)->url(), registered});
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
