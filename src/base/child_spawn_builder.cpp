#include "base/child_spawn_builder.h"

#include <QFile>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// Null-terminated vector of C strings over copies that live as long as this object.
class CStringVector
{
public:
    explicit CStringVector(QByteArrayList strings) : strings_(std::move(strings))
    {
        pointers_.reserve(size_t(strings_.size()) + 1);
        for (QByteArray& string : strings_)
            pointers_.push_back(string.data());
        pointers_.push_back(nullptr);
    }
    char* const* data() { return pointers_.data(); }

private:
    QByteArrayList strings_;
    std::vector<char*> pointers_;
};

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

    posix_spawn_file_actions_t actions{};
    posix_spawnattr_t attributes{};
};

void redirect(posix_spawn_file_actions_t& actions, int source, int target)
{
    if (source == ChildSpawnRequest::nullDevice)
        posix_spawn_file_actions_addopen(&actions, target, "/dev/null", O_WRONLY, 0);
    else if (source == ChildSpawnRequest::sameAsOutput)
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, target);
    else
        // The same number on both sides clears close-on-exec instead (glibc 2.29 and later).
        posix_spawn_file_actions_adddup2(&actions, source, target);
}

} // namespace

ChildSpawnOutcome spawnChild(const ChildSpawnRequest& request)
{
    const QByteArray program = QFile::encodeName(request.program);
    const QByteArray folder = QFile::encodeName(request.workingFolder);
    QByteArrayList argumentBytes{program};
    for (const QString& argument : request.arguments)
        argumentBytes.append(argument.toUtf8());
    CStringVector argv(std::move(argumentBytes));
    std::optional<CStringVector> envp;
    if (request.environment) {
        QByteArrayList entries;
        entries.reserve(request.environment->size());
        for (auto it = request.environment->cbegin(); it != request.environment->cend(); ++it)
            entries.append(it.key().toUtf8() + '=' + it.value().toUtf8());
        envp.emplace(std::move(entries));
    }

    SpawnSetup setup;
    // Standard input first: a pipe given for output may itself sit on descriptor 0 when the
    // application was started with it closed, and must be duplicated before it is replaced.
    // Output next, then error, since error may be a copy of output.
    redirect(setup.actions, request.standardOutput, STDOUT_FILENO);
    redirect(setup.actions, request.standardError, STDERR_FILENO);
    posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    // Invariant: 0 to 2 are opened above before this; a child started with one of them closed
    // would write into the first file it opens.
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, STDERR_FILENO + 1);
    if (!folder.isEmpty())
        posix_spawn_file_actions_addchdir_np(&setup.actions, folder.constData());

    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&setup.attributes, &all);
    posix_spawnattr_setsigmask(&setup.attributes, &none);
    short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
    if (request.detach == ChildSpawnRequest::Detach::session) {
        flags |= POSIX_SPAWN_SETSID;
    } else {
        flags |= POSIX_SPAWN_SETPGROUP;
        posix_spawnattr_setpgroup(&setup.attributes, 0);
    }
    posix_spawnattr_setflags(&setup.attributes, flags);

    pid_t pid = -1;
    const int error = ::posix_spawn(&pid, program.constData(), &setup.actions, &setup.attributes,
                                    argv.data(), envp ? envp->data() : environ);
    if (error != 0)
        return {-1, error};
    return {pid, 0};
}

QString systemErrorText(int error)
{
    char buffer[256];
    return QString::fromLocal8Bit(::strerror_r(error, buffer, sizeof buffer));
}
