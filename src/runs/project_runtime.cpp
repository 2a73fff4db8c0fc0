#include "runs/project_runtime.h"

#include "base/change_only.h"
#include "supervision/external/proc_stat.h"

#include <csignal>

ProjectRuntime::ProjectRuntime(QObject* parent)
    : QObject(parent), log_(new LogBuffer(this)), activity_(new ServerActivity(this))
{
    // The traffic figures outlive a run (they are the project's); the processor share and
    // the choice of source belong to one server.
    connect(this, &ProjectRuntime::statusChanged, activity_, [this] {
        if (!status_.isActive())
            activity_->serverEnded();
    });
}

void ProjectRuntime::setPortConflict(const std::optional<PortConflict>& value)
{
    if (assignIfChanged(portConflict_, value))
        emit portConflictChanged();
}

void ProjectRuntime::setStatus(const ProjectStatus& value)
{
    if (assignIfChanged(status_, value))
        emit statusChanged();
}

void ProjectRuntime::setUrl(const std::optional<QUrl>& value)
{
    if (assignIfChanged(url_, value))
        emit urlChanged();
}

void ProjectRuntime::setPid(std::optional<qint32> value)
{
    if (assignIfChanged(pid_, value))
        emit pidChanged();
}

void ProjectRuntime::setManaged(bool value)
{
    if (assignIfChanged(managed_, value))
        emit managedChanged();
}

void ProjectRuntime::setExternal(bool value)
{
    if (assignIfChanged(external_, value))
        emit externalChanged();
}

void ProjectRuntime::setExternalPIDs(const QList<qint32>& value)
{
    if (assignIfChanged(externalPIDs_, value))
        emit externalPIDsChanged();
}

void ProjectRuntime::setMemoryBytes(std::optional<quint64> value)
{
    if (assignIfChanged(memoryBytes_, value))
        emit memoryBytesChanged();
}

void ProjectRuntime::setAttachedPID(std::optional<qint32> value)
{
    if (assignIfChanged(attachedPID_, value))
        emit attachedPIDChanged();
}

void ProjectRuntime::resetForStart()
{
    setStatus(ProjectStatus::starting());
    setUrl(std::nullopt);
    setExternal(false);
    setAttachedPID(std::nullopt);
    setSawAlreadyRunning(false);
    setPortConflict(std::nullopt);
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

void ProjectRuntime::applyExit(int code, bool stopRequested, const ProcessProbe& exists)
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
        return;
    }

    setAttachedPID(std::nullopt);
    setUrl(std::nullopt);
    setMemoryBytes(std::nullopt);
    if (stopRequested || code == 0)
        setStatus(ProjectStatus::stopped());
    else
        setStatus(ProjectStatus::error(QStringLiteral("Exited with code %1").arg(code)));
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
