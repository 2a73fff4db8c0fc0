#include "runs/project_runtime.h"

#include "base/change_only.h"
#include "supervision/external/proc_stat.h"

#include <csignal>

namespace {

template <typename T> QFuture<T> readyFuture(const T& value)
{
    QPromise<T> promise;
    promise.start();
    promise.addResult(value);
    promise.finish();
    return promise.future();
}

QFuture<void> readyFuture()
{
    QPromise<void> promise;
    promise.start();
    promise.finish();
    return promise.future();
}

} // namespace

ProjectRuntime::ProjectRuntime(QObject* parent)
    : QObject(parent), log_(new LogBuffer(this)), activity_(new ServerActivity(this))
{
    // The traffic figures outlive a run (they are the project's); the processor share and
    // the choice of source belong to one server.
    connect(this, &ProjectRuntime::statusChanged, activity_, [this] {
        if (!status_.isActive())
            activity_->serverEnded();
        else
            activity_->serverBegan();
    });
}

// Whoever awaits this run state hears of its end: a start fails, an exit counts as applied.
ProjectRuntime::~ProjectRuntime()
{
    if (start_)
        settleStart(StartOutcome::failed(QStringLiteral("the project was removed")));
    if (exit_)
        exit_->finish();
}

template <typename T, typename U> void ProjectRuntime::assign(T& field, U&& value, Field which)
{
    if (assignIfChanged(field, std::forward<U>(value)))
        changedFields_ |= which;
}

void ProjectRuntime::setPortConflict(const std::optional<PortConflict>& value)
{
    assign(portConflict_, value, portConflictField);
}

void ProjectRuntime::setStatus(const ProjectStatus& value)
{
    assign(status_, value, statusField);
}

void ProjectRuntime::setUrl(const std::optional<QUrl>& value)
{
    assign(url_, value, urlField);
}

void ProjectRuntime::setPid(std::optional<qint32> value)
{
    assign(pid_, value, pidField);
}

void ProjectRuntime::setManaged(bool value)
{
    assign(managed_, value, managedField);
}

void ProjectRuntime::setExternal(bool value)
{
    assign(external_, value, externalField);
}

void ProjectRuntime::setExternalPIDs(const QList<qint32>& value)
{
    assign(externalPIDs_, value, externalPIDsField);
}

void ProjectRuntime::setMemoryBytes(std::optional<quint64> value)
{
    assign(memoryBytes_, value, memoryBytesField);
}

void ProjectRuntime::setAttachedPID(std::optional<qint32> value)
{
    assign(attachedPID_, value, attachedPIDField);
}

void ProjectRuntime::settleStart(const StartOutcome& outcome)
{
    const std::unique_ptr<QPromise<StartOutcome>> promise = std::move(start_);
    promise->addResult(outcome);
    promise->finish();
}

void ProjectRuntime::notify()
{
    if (start_) {
        if (status_.kind() == ProjectStatus::Kind::running && (managed_ || external_))
            settleStart(StartOutcome::running());
        else if (status_.kind() == ProjectStatus::Kind::error)
            settleStart(StartOutcome::failed(status_.message()));
        else if (status_.kind() == ProjectStatus::Kind::stopped)
            settleStart(StartOutcome::failed(QStringLiteral("the server exited")));
    }
    // Taken first: a receiver may start the next transition.
    const unsigned fields = std::exchange(changedFields_, 0U);
    if (fields == 0)
        return;
    if (fields & portConflictField)
        emit portConflictChanged();
    if (fields & statusField)
        emit statusChanged();
    if (fields & urlField)
        emit urlChanged();
    if (fields & pidField)
        emit pidChanged();
    if (fields & managedField)
        emit managedChanged();
    if (fields & externalField)
        emit externalChanged();
    if (fields & externalPIDsField)
        emit externalPIDsChanged();
    if (fields & memoryBytesField)
        emit memoryBytesChanged();
    if (fields & attachedPIDField)
        emit attachedPIDChanged();
    emit changed();
}

QFuture<StartOutcome> ProjectRuntime::currentStart() const
{
    if (start_)
        return start_->future();
    switch (status_.kind()) {
    case ProjectStatus::Kind::running: return readyFuture(StartOutcome::running());
    case ProjectStatus::Kind::error: return readyFuture(StartOutcome::failed(status_.message()));
    default: return readyFuture(StartOutcome::failed(QStringLiteral("no start is under way")));
    }
}

QFuture<StartOutcome> ProjectRuntime::startRefused(const QString& reason)
{
    setStatus(ProjectStatus::error(reason));
    notify();
    return readyFuture(StartOutcome::failed(reason));
}

QFuture<StartOutcome> ProjectRuntime::startAccepted(const QString& commandLine)
{
    // A start that never settled (it cannot: an active project is not started again) would
    // otherwise wait forever.
    if (start_)
        settleStart(StartOutcome::failed(QStringLiteral("another start took over")));
    start_ = std::make_unique<QPromise<StartOutcome>>();
    start_->start();
    QFuture<StartOutcome> outcome = start_->future();
    setStatus(ProjectStatus::starting());
    setUrl(std::nullopt);
    setExternal(false);
    setAttachedPID(std::nullopt);
    setPortConflict(std::nullopt);
    sawAlreadyRunning_ = false;
    log_->append(RuntimeLog::startAccepted(commandLine), false);
    notify();
    return outcome;
}

void ProjectRuntime::spawned(qint32 pid)
{
    setPid(pid);
    setManaged(true);
    exit_ = std::make_unique<QPromise<void>>();
    exit_->start();
    notify();
}

void ProjectRuntime::spawnFailed(const QString& description)
{
    setStatus(ProjectStatus::error(description));
    log_->append(RuntimeLog::spawnFailed(description), true);
    notify();
}

bool ProjectRuntime::readyLine(const QUrl& url)
{
    if (url_ || status_.kind() != ProjectStatus::Kind::starting)
        return false;
    setUrl(url);
    setStatus(ProjectStatus::running());
    notify();
    return true;
}

void ProjectRuntime::readyFallback(qint32 pid, const std::optional<QUrl>& configuredAddress)
{
    if (status_.kind() != ProjectStatus::Kind::starting || pid_ != pid)
        return;
    setStatus(ProjectStatus::running());
    if (configuredAddress)
        setUrl(configuredAddress);
    notify();
}

void ProjectRuntime::alreadyRunning(const QUrl& url, qint32 pid)
{
    setUrl(url);
    setAttachedPID(pid);
    setStatus(ProjectStatus::running());
    notify();
}

void ProjectRuntime::announcementBegun()
{
    sawAlreadyRunning_ = true;
}

void ProjectRuntime::announcedAddress(const QUrl& url)
{
    if (!sawAlreadyRunning_)
        return;
    setUrl(url);
    notify();
}

void ProjectRuntime::announcedPID(qint32 pid)
{
    if (!sawAlreadyRunning_)
        return;
    setAttachedPID(pid);
    if (url_)
        setStatus(ProjectStatus::running());
    notify();
}

void ProjectRuntime::portBusy(const PortConflict& conflict)
{
    setPortConflict(conflict);
    notify();
}

bool ProjectRuntime::processExists(qint32 pid)
{
    if (pid <= 0 || ::kill(pid, 0) != 0)
        return false;
    // Signal 0 also reaches a zombie: a process that has ended and waits to be reaped, which
    // an orphaned server's processes may do for a second or two. It runs no longer.
    const std::optional<ProcStat> stat = readProcStat(pid);
    return !stat || stat->living();
}

void ProjectRuntime::exited(int code, bool stopRequested, const ProcessProbe& exists)
{
    log_->append(RuntimeLog::processExited(code), false);
    setManaged(false);
    setPid(std::nullopt);

    if (attachedPID_ && exists && exists(*attachedPID_)) {
        const qint32 attached = *attachedPID_;
        log_->append(RuntimeLog::attachedToRunning(attached), false);
        setExternal(true);
        setExternalPIDs({attached});
        setStatus(ProjectStatus::running());
    } else {
        setAttachedPID(std::nullopt);
        setUrl(std::nullopt);
        setMemoryBytes(std::nullopt);
        if (stopRequested || code == 0)
            setStatus(ProjectStatus::stopped());
        else
            setStatus(ProjectStatus::error(QStringLiteral("Exited with code %1").arg(code)));
    }
    // The state is whole before anyone awaiting the exit hears of it.
    const std::unique_ptr<QPromise<void>> exit = std::move(exit_);
    notify();
    if (exit)
        exit->finish();
}

QFuture<void> ProjectRuntime::exitApplied() const
{
    return exit_ ? exit_->future() : readyFuture();
}

void ProjectRuntime::foundOutside(const QList<qint32>& pids, const std::optional<QUrl>& url)
{
    if (managed_ || status_.kind() == ProjectStatus::Kind::starting)
        return;
    setExternal(true);
    setExternalPIDs(pids);
    setStatus(ProjectStatus::running());
    if (url)
        setUrl(url);
    notify();
}

void ProjectRuntime::goneOutside()
{
    if (managed_ || !external_)
        return;
    setExternal(false);
    setAttachedPID(std::nullopt);
    setExternalPIDs({});
    setUrl(std::nullopt);
    setMemoryBytes(std::nullopt);
    setStatus(ProjectStatus::stopped());
    notify();
}

void ProjectRuntime::outsideStopSent()
{
    setAttachedPID(std::nullopt);
    notify();
}

void ProjectRuntime::memoryMeasured(std::optional<quint64> bytes)
{
    setMemoryBytes(status_.isActive() ? bytes : std::nullopt);
    notify();
}

void ProjectRuntime::demoShown(const DemoServer& run)
{
    setStatus(run.status);
    setUrl(run.url);
    setMemoryBytes(run.memoryBytes);
    setPortConflict(run.portConflict);
    notify();
}

namespace RuntimeLog {

QString startAccepted(const QString& commandLine)
{
    return QStringLiteral("▶ ") + commandLine;
}

QString spawnFailed(const QString& description)
{
    return QStringLiteral("✖ ") + description;
}

QString processExited(int code)
{
    return QStringLiteral("■ process exited (code %1)").arg(code);
}

QString attachedToRunning(qint32 pid)
{
    return QStringLiteral("↪ A dev server is already running (pid %1); attached to it.").arg(pid);
}

} // namespace RuntimeLog
