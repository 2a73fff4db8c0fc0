#include "supervision/child_spawn.h"

#include <QByteArrayList>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// Null-terminated vector of C strings over copies that live as long as this object, so that
// all allocation happens before the spawn.
class CStringVector
{
public:
    explicit CStringVector(QByteArrayList strings) : strings_(std::move(strings))
    {
        pointers_.reserve(strings_.size() + 1);
        for (QByteArray& string : strings_)
            pointers_.push_back(string.data());
        pointers_.push_back(nullptr);
    }
    char* const* data() { return pointers_.data(); }

private:
    QByteArrayList strings_;
    std::vector<char*> pointers_;
};

struct Pipe
{
    int read = -1;
    int write = -1;

    bool open()
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return false;
        read = fds[0];
        write = fds[1];
        return true;
    }
    void closeRead()
    {
        if (read >= 0)
            ::close(read);
        read = -1;
    }
    void closeWrite()
    {
        if (write >= 0)
            ::close(write);
        write = -1;
    }
};

// Attributes shared by every child: default dispositions for every signal (the application may
// ignore some, e.g. SIGPIPE) and an empty mask.
void setCommonAttributes(posix_spawnattr_t& attributes, short extraFlags)
{
    posix_spawnattr_init(&attributes);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attributes, &all);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | extraFlags);
}

SpawnError spawnFailure(int error)
{
    return SpawnError{QStringLiteral("posix_spawn failed: ") + systemErrorText(error)};
}

} // namespace

QString systemErrorText(int error)
{
    char buffer[256];
    return QString::fromLocal8Bit(::strerror_r(error, buffer, sizeof buffer));
}

SpawnResult spawnShell(const QString& command, const QString& workingDirectory,
                       const Environment& environment)
{
    Pipe out;
    Pipe err;
    if (!out.open())
        return SpawnError{QStringLiteral("pipe() failed")};
    if (!err.open()) {
        out.closeRead();
        out.closeWrite();
        return SpawnError{QStringLiteral("pipe() failed")};
    }

    const QByteArray folder = workingDirectory.toLocal8Bit();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out.write, 1);
    posix_spawn_file_actions_adddup2(&actions, err.write, 2);
    posix_spawn_file_actions_addclose(&actions, out.read);
    posix_spawn_file_actions_addclose(&actions, out.write);
    posix_spawn_file_actions_addclose(&actions, err.read);
    posix_spawn_file_actions_addclose(&actions, err.write);
    posix_spawn_file_actions_addchdir_np(&actions, folder.constData());

    posix_spawnattr_t attributes;
    setCommonAttributes(attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    CStringVector argv({QByteArrayLiteral("/bin/sh"), QByteArrayLiteral("-c"), command.toUtf8()});
    QByteArrayList entries;
    entries.reserve(environment.size());
    for (auto it = environment.cbegin(); it != environment.cend(); ++it)
        entries.append(it.key().toUtf8() + '=' + it.value().toUtf8());
    CStringVector envp(std::move(entries));

    pid_t pid = -1;
    const int result =
        ::posix_spawn(&pid, "/bin/sh", &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    out.closeWrite();
    err.closeWrite();

    if (result != 0) {
        out.closeRead();
        err.closeRead();
        return spawnFailure(result);
    }
    return SpawnedChild{pid, out.read, err.read};
}

SpawnResult spawnCapturingOutput(const QString& program, const QStringList& arguments)
{
    Pipe out;
    if (!out.open())
        return SpawnError{QStringLiteral("pipe() failed")};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out.write, 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, out.read);
    posix_spawn_file_actions_addclose(&actions, out.write);

    posix_spawnattr_t attributes;
    setCommonAttributes(attributes, POSIX_SPAWN_SETSID);

    const QByteArray path = program.toLocal8Bit();
    QByteArrayList argumentBytes{path};
    for (const QString& argument : arguments)
        argumentBytes.append(argument.toLocal8Bit());
    CStringVector argv(std::move(argumentBytes));

    pid_t pid = -1;
    const int result =
        ::posix_spawn(&pid, path.constData(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    out.closeWrite();

    if (result != 0) {
        out.closeRead();
        return spawnFailure(result);
    }
    return SpawnedChild{pid, out.read, -1};
}
