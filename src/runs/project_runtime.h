#pragma once

#include "runs/log_buffer.h"
#include "runs/port_conflict.h"
#include "runs/project_status.h"
#include "runs/server_activity.h"

#include <QFuture>
#include <QList>
#include <QObject>
#include <QPromise>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

// How a start ended up: running (ok), or not, with the reason.
struct StartOutcome
{
    bool ok = false;
    QString error; // empty when ok

    static StartOutcome running() { return {true, {}}; }
    static StartOutcome failed(const QString& reason) { return {false, reason}; }
    friend bool operator==(const StartOutcome&, const StartOutcome&) = default;
};

// What a demo shows on one run state.
struct DemoServer
{
    ProjectStatus status;
    std::optional<QUrl> url;
    std::optional<quint64> memoryBytes;
    std::optional<PortConflict> portConflict;
};

// The live, in-memory state of one project's dev server and its captured output. Lives on the
// main thread. It is the only writer of its fields: each public operation below is one event of
// the server's life, applies its whole transition and only then notifies, each changed field
// through `<field>Changed` and the transition as a whole through `changed` (once, and only on a
// real change), so that no view sees half a transition.
//
// State by event ("idle" is stopped or error; "managed" is a child started here):
//
//   event                 applies in            becomes
//   --------------------  --------------------  -------------------------------------------
//   startRefused          idle                  error(reason); the start fails
//   startAccepted         idle                  starting; no address, attachment, port
//                                               conflict or announcement; not external
//   spawned(pid)          starting              + pid, managed
//   spawnFailed           starting              error(description); the start fails
//   readyLine(url)        starting, no address  running at url
//   readyFallback(pid)    starting, that pid    running (at the configured address)
//   alreadyRunning        any                   running at url, attached to pid
//   announcement lines    after its marker      url, then attached pid (running once both)
//   portBusy              any                   + port conflict (status unchanged)
//   exited(code)          any                   attached server alive: running, external;
//                                               else stopped (asked or code 0) or error;
//                                               no pid, not managed, no address or memory
//   foundOutside          not managed, not      running, external, its pids (and address)
//                         starting
//   goneOutside           external, unmanaged   stopped; nothing external left
//   outsideStopSent       external              no attachment
//   memoryMeasured        active                memory (cleared when not active)
//   demoShown             any                   what the demo shows
//
// A start's outcome (`startAccepted`'s future) is ok once the server runs and is either
// managed or attached to one elsewhere; it fails on an error or when the server ends first.
class ProjectRuntime : public QObject
{
    Q_OBJECT

public:
    explicit ProjectRuntime(QObject* parent = nullptr);
    ~ProjectRuntime() override;

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

    // ---- Events of a start ----
    // Returns the failed outcome.
    QFuture<StartOutcome> startRefused(const QString& reason);
    // Logs the command line; returns the outcome of this start, known once it has settled.
    QFuture<StartOutcome> startAccepted(const QString& commandLine);
    // The outcome of the start under way; when none is, that of the state shown.
    QFuture<StartOutcome> currentStart() const;
    void spawned(qint32 pid);
    void spawnFailed(const QString& description);
    // ---- Events of the server's output ----
    // Returns whether the line was taken as the ready address (it is only while starting
    // without one).
    bool readyLine(const QUrl& url);
    void readyFallback(qint32 pid, const std::optional<QUrl>& configuredAddress);
    void alreadyRunning(const QUrl& url, qint32 pid);
    // The several-line "already running" announcement: its first line, its address, its pid.
    void announcementBegun();
    void announcedAddress(const QUrl& url);
    void announcedPID(qint32 pid);
    void portBusy(const PortConflict& conflict);

    // Tells whether a process exists; the default sends it signal 0 and counts a zombie (ended,
    // not yet reaped) as gone.
    using ProcessProbe = std::function<bool(qint32 pid)>;
    static bool processExists(qint32 pid);

    // The end of the managed child with exit code `code`. When the server announced another
    // instance that is still alive, the project stays running, attached to it.
    void exited(int code, bool stopRequested, const ProcessProbe& exists = &processExists);
    // Resolves once the managed child's exit has been applied; at once when none runs.
    QFuture<void> exitApplied() const;

    // ---- Servers started elsewhere ----
    void foundOutside(const QList<qint32>& pids, const std::optional<QUrl>& url);
    void goneOutside();
    void outsideStopSent();

    void memoryMeasured(std::optional<quint64> bytes);
    void demoShown(const DemoServer& run);

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
    // After the field signals of one transition that changed anything.
    void changed();

private:
    friend struct RunStateTestAccess; // tests/support: arbitrary states for views under test

    enum Field : unsigned {
        portConflictField = 1U << 0U,
        statusField = 1U << 1U,
        urlField = 1U << 2U,
        pidField = 1U << 3U,
        managedField = 1U << 4U,
        externalField = 1U << 5U,
        externalPIDsField = 1U << 6U,
        memoryBytesField = 1U << 7U,
        attachedPIDField = 1U << 8U,
    };

    template <typename T, typename U> void assign(T& field, U&& value, Field which);
    void setPortConflict(const std::optional<PortConflict>& value);
    void setStatus(const ProjectStatus& value);
    void setUrl(const std::optional<QUrl>& value);
    void setPid(std::optional<qint32> value);
    void setManaged(bool value);
    void setExternal(bool value);
    void setExternalPIDs(const QList<qint32>& value);
    void setMemoryBytes(std::optional<quint64> value);
    void setAttachedPID(std::optional<qint32> value);
    // Settles a pending start, then emits the signals of the fields changed since the last
    // notification.
    void notify();
    void settleStart(const StartOutcome& outcome);

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
    unsigned changedFields_ = 0;
    std::unique_ptr<QPromise<StartOutcome>> start_;
    std::unique_ptr<QPromise<void>> exit_;
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
