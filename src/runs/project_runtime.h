#pragma once

#include "runs/log_buffer.h"
#include "runs/port_conflict.h"
#include "runs/project_status.h"
#include "runs/server_activity.h"

#include <QList>
#include <QObject>
#include <QUrl>

#include <functional>
#include <optional>

// The live, in-memory state of one project's dev server and its captured output. Lives on the
// main thread. Every observable field notifies `<field>Changed`, and only on a real change.
class ProjectRuntime : public QObject
{
    Q_OBJECT

public:
    explicit ProjectRuntime(QObject* parent = nullptr);

    const std::optional<PortConflict>& portConflict() const { return portConflict_; }
    const ProjectStatus& status() const { return status_; }
    const std::optional<QUrl>& url() const { return url_; }
    std::optional<qint32> pid() const { return pid_; }
    bool managed() const { return managed_; }
    bool external() const { return external_; }
    const QList<qint32>& externalPIDs() const { return externalPIDs_; }
    std::optional<quint64> memoryBytes() const { return memoryBytes_; }
    std::optional<qint32> attachedPID() const { return attachedPID_; }
    // The several-line "already running" announcement has begun. Not observable.
    bool sawAlreadyRunning() const { return sawAlreadyRunning_; }
    // Fixed for the runtime's lifetime.
    LogBuffer* log() const { return log_; }
    // The requests and processor time of the server; fixed for the runtime's lifetime.
    ServerActivity* activity() const { return activity_; }

    void setPortConflict(const std::optional<PortConflict>& value);
    void setStatus(const ProjectStatus& value);
    void setUrl(const std::optional<QUrl>& value);
    void setPid(std::optional<qint32> value);
    void setManaged(bool value);
    void setExternal(bool value);
    void setExternalPIDs(const QList<qint32>& value);
    void setMemoryBytes(std::optional<quint64> value);
    void setAttachedPID(std::optional<qint32> value);
    void setSawAlreadyRunning(bool value) { sawAlreadyRunning_ = value; }

    // The state of a start that was accepted: starting, without address, attachment or port
    // conflict, not external.
    void resetForStart();

    // Tells whether a process exists; the default sends it signal 0 and counts a zombie (ended,
    // not yet reaped) as gone.
    using ProcessProbe = std::function<bool(qint32 pid)>;
    static bool processExists(qint32 pid);

    // Applies the end of the managed child with exit code `code`. When the server announced
    // another instance that is still alive, the project stays running, attached to it.
    void applyExit(int code, bool stopRequested, const ProcessProbe& exists = &processExists);

signals:
    void portConflictChanged();
    void statusChanged();
    void urlChanged();
    void pidChanged();
    void managedChanged();
    void externalChanged();
    void externalPIDsChanged();
    void memoryBytesChanged();
    void attachedPIDChanged();

private:
    std::optional<PortConflict> portConflict_;
    ProjectStatus status_;
    std::optional<QUrl> url_;
    std::optional<qint32> pid_;
    bool managed_ = false;
    bool external_ = false;
    QList<qint32> externalPIDs_;
    std::optional<quint64> memoryBytes_;
    std::optional<qint32> attachedPID_;
    bool sawAlreadyRunning_ = false;
    LogBuffer* log_;
    ServerActivity* activity_;
};

// The lines the application itself writes into a project's log.
namespace RuntimeLog {
QString startAccepted(const QString& commandLine);
QString spawnFailed(const QString& description);
QString processExited(int code);
QString attachedToRunning(qint32 pid);
} // namespace RuntimeLog
