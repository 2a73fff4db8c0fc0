#include "base/child_spawn_builder.h"
#include "supervision/child_spawn.h"
#include "supervision/external/proc_stat.h"
#include "supervision/shell_environment.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QFile>

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The descriptors a process has open, each with what it points at.
QMap<int, QString> descriptorsOf(pid_t pid)
{
    QMap<int, QString> open;
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QString& fd : fds.entryList(QDir::NoDotAndDotDot | QDir::System)) {
        char target[256] = {};
        const ssize_t n = ::readlink(QFile::encodeName(fds.absoluteFilePath(fd)).constData(),
                                     target, sizeof target - 1);
        open.insert(fd.toInt(), QString::fromUtf8(target, n > 0 ? n : 0));
    }
    return open;
}

// The standard signals (1 to 31) in a signal set of /proc/PID/status ("SigIgn", "SigBlk").
// The C library's own real-time signals are left out: it cannot reset them.
quint64 standardSignals(pid_t pid, const QByteArray& name)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return ~0ULL;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).trimmed().toULongLong(nullptr, 16) & 0x7fffffffULL;
    return ~0ULL;
}

void endChild(pid_t pid)
{
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

// What the application may hold or have changed when it starts a child: a descriptor without
// close-on-exec (a library's socket, say), an ignored SIGPIPE and SIGTERM, a blocked SIGUSR1.
class DirtyParent
{
public:
    DirtyParent()
    {
        if (::pipe(leaked_) != 0) // deliberately without O_CLOEXEC
            leaked_[0] = leaked_[1] = -1;
        previousPipe_ = ::signal(SIGPIPE, SIG_IGN);
        previousTerm_ = ::signal(SIGTERM, SIG_IGN);
        sigset_t usr1;
        sigemptyset(&usr1);
        sigaddset(&usr1, SIGUSR1);
        pthread_sigmask(SIG_BLOCK, &usr1, &previousMask_);
    }
    ~DirtyParent()
    {
        pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
        ::signal(SIGTERM, previousTerm_);
        ::signal(SIGPIPE, previousPipe_);
        ::close(leaked_[0]);
        ::close(leaked_[1]);
    }
    bool holdsDescriptors() const { return leaked_[0] > 2 && leaked_[1] > 2; }
    DirtyParent(const DirtyParent&) = delete;
    DirtyParent& operator=(const DirtyParent&) = delete;

private:
    int leaked_[2] = {-1, -1};
    sighandler_t previousPipe_;
    sighandler_t previousTerm_;
    sigset_t previousMask_{};
};

} // namespace

TEST(ChildSpawn, DevServersAndDetachedProgramsStartCleanWhateverTheApplicationHolds)
{
    TempFolder folder;
    const DirtyParent parent;
    ASSERT_TRUE(parent.holdsDescriptors());
    const QString null = QStringLiteral("/dev/null");

    // A dev server: its own group in our session, input from the null device, output on pipes.
    const SpawnResult server =
        spawnShell("exec sleep 30", folder.path(), ShellEnvironment::fallbackEnvironment());
    ASSERT_TRUE(std::holds_alternative<SpawnedChild>(server));
    const SpawnedChild child = std::get<SpawnedChild>(server);
    // The shell's own descriptors while it starts up are not the question: look at what it
    // passes on to the program it runs.
    for (int i = 0; i < 500; ++i) {
        const std::optional<ProcStat> stat = readProcStat(child.pid);
        if (stat && stat->name == "sleep")
            break;
        ::usleep(10 * 1000);
    }
    const QMap<int, QString> serverFds = descriptorsOf(child.pid);
    EXPECT_EQ(serverFds.keys(), (QList<int>{0, 1, 2})) << "an inherited descriptor stayed open";
    EXPECT_EQ(serverFds.value(0), null);
    EXPECT_TRUE(serverFds.value(1).startsWith("pipe:"));
    EXPECT_NE(serverFds.value(1), serverFds.value(2));
    EXPECT_EQ(standardSignals(child.pid, "SigIgn"), 0u);
    EXPECT_EQ(standardSignals(child.pid, "SigBlk"), 0u);
    const std::optional<ProcStat> serverStat = readProcStat(child.pid);
    ASSERT_TRUE(serverStat);
    EXPECT_EQ(serverStat->pgid, child.pid);
    EXPECT_EQ(serverStat->session, ::getsid(0));
    endChild(child.pid);
    ::close(child.stdoutFd);
    ::close(child.stderrFd);

    // A detached program: a session of its own, every standard stream on the null device.
    ChildSpawnRequest request;
    request.program = QStringLiteral("/bin/sleep");
    request.arguments = {QStringLiteral("30")};
    request.standardError = ChildSpawnRequest::sameAsOutput;
    request.detach = ChildSpawnRequest::Detach::session;
    const ChildSpawnOutcome detached = spawnChild(request);
    ASSERT_TRUE(detached.ok());
    const QMap<int, QString> detachedFds = descriptorsOf(detached.pid);
    EXPECT_EQ(detachedFds.keys(), (QList<int>{0, 1, 2}));
    EXPECT_EQ(detachedFds.values(), (QList<QString>{null, null, null}));
    EXPECT_EQ(standardSignals(detached.pid, "SigIgn"), 0u);
    EXPECT_EQ(standardSignals(detached.pid, "SigBlk"), 0u);
    const std::optional<ProcStat> detachedStat = readProcStat(detached.pid);
    ASSERT_TRUE(detachedStat);
    EXPECT_EQ(detachedStat->session, detached.pid);
    EXPECT_EQ(detachedStat->pgid, detached.pid);
    endChild(detached.pid);

    request.program = folder.filePath(QStringLiteral("missing"));
    EXPECT_EQ(spawnChild(request).error, ENOENT);
}
