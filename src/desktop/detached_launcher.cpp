#include "desktop/detached_launcher.h"

#include "base/child_spawn_builder.h"

#include <QSocketNotifier>

#include <cerrno>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

DetachedLauncher::DetachedLauncher(QObject* parent) : QObject(parent) {}

DetachedLauncher::~DetachedLauncher()
{
    // Children still running are no longer watched; they are reaped by whoever adopts them.
    for (QSocketNotifier* notifier : findChildren<QSocketNotifier*>()) {
        if (notifier->isEnabled())
            ::close(int(notifier->socket()));
    }
}

DetachedLauncher::Result DetachedLauncher::launch(const LaunchRequest& request)
{
    if (!request.program.startsWith(u'/'))
        return {0, QStringLiteral("not an absolute path: ") + request.program};

    ChildSpawnRequest spawn;
    spawn.program = request.program;
    spawn.arguments = request.arguments;
    spawn.environment = request.environment;
    spawn.workingFolder = request.workingFolder;
    spawn.standardOutput = ChildSpawnRequest::nullDevice;
    spawn.standardError = ChildSpawnRequest::sameAsOutput;
    // Invariant: a session, not only a group. A terminal's shell takes the controlling
    // terminal of its session, and a long-lived editor must get no signal meant for ours.
    spawn.detach = ChildSpawnRequest::Detach::session;
    const ChildSpawnOutcome outcome = spawnChild(spawn);
    if (!outcome.ok())
        return {0, systemErrorText(outcome.error)};
    const pid_t pid = outcome.pid;
    watch(pid);
    return {pid, {}};
}

void DetachedLauncher::watch(qint64 pid)
{
    const int pidFd = int(::syscall(SYS_pidfd_open, pid_t(pid), 0));
    if (pidFd < 0) {
        // No process descriptors: a thread waits for this one child instead.
        std::thread([pid] {
            int status = 0;
            while (::waitpid(pid_t(pid), &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
        return;
    }
    // A process descriptor turns readable when the child exits; it is close-on-exec already.
    auto* notifier = new QSocketNotifier(pidFd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this, notifier, pid, pidFd] {
        int status = 0;
        if (::waitpid(pid_t(pid), &status, WNOHANG) == 0)
            return; // not exited after all
        notifier->setEnabled(false);
        notifier->deleteLater();
        ::close(pidFd);
        emit exited(pid);
    });
}
