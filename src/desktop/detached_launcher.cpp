#include "desktop/detached_launcher.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// Null-terminated pointer array over byte strings that outlive it.
std::vector<char*> pointers(std::vector<QByteArray>& strings)
{
    std::vector<char*> result;
    result.reserve(strings.size() + 1);
    for (QByteArray& string : strings)
        result.push_back(string.data());
    result.push_back(nullptr);
    return result;
}

class SpawnSetup
{
public:
    SpawnSetup()
    {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup()
    {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

} // namespace

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

    // Everything the child needs is built before the spawn.
    const QByteArray program = QFile::encodeName(request.program);
    const QByteArray folder = QFile::encodeName(request.workingFolder);
    std::vector<QByteArray> argumentBytes{program};
    for (const QString& argument : request.arguments)
        argumentBytes.push_back(argument.toLocal8Bit());
    std::vector<char*> argv = pointers(argumentBytes);
    std::vector<QByteArray> environmentBytes;
    std::vector<char*> envp;
    if (request.environment) {
        for (auto it = request.environment->cbegin(); it != request.environment->cend(); ++it)
            environmentBytes.push_back((it.key() + u'=' + it.value()).toLocal8Bit());
        envp = pointers(environmentBytes);
    }

    SpawnSetup setup;
    posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&setup.actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&setup.actions, STDOUT_FILENO, STDERR_FILENO);
    // A long-lived editor must not hold a descriptor that lacks close-on-exec, such as the
    // write end of a dev server's output pipe: its reader would never see the end of file.
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, STDERR_FILENO + 1);
    if (!folder.isEmpty())
        posix_spawn_file_actions_addchdir_np(&setup.actions, folder.constData());
    // A session of its own; signal dispositions and mask as a freshly logged-in program has.
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&setup.attributes, &all);
    posix_spawnattr_setsigmask(&setup.attributes, &none);
    posix_spawnattr_setflags(&setup.attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = 0;
    const int error = posix_spawn(&pid, program.constData(), &setup.actions, &setup.attributes,
                                  argv.data(), request.environment ? envp.data() : environ);
    if (error != 0)
        return {0, QString::fromLocal8Bit(std::strerror(error))};
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
