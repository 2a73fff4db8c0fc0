#include "supervision/bounded_capture.h"

#include "supervision/child_spawn.h"

#include <QDeadlineTimer>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Output beyond this is not an environment; stop reading rather than grow without end.
constexpr qsizetype maxCaptureBytes = qsizetype(16) * 1024 * 1024;
// Without a pidfd the exit is noticed by polling at this interval.
constexpr int exitPollMs = 20;

int openPidfd(pid_t pid)
{
    const long fd = ::syscall(SYS_pidfd_open, pid, 0);
    return fd >= 0 ? static_cast<int>(fd) : -1;
}

// A child that is reaped exactly once, by its pid.
class Child
{
public:
    explicit Child(pid_t pid) : pid_(pid), pidfd_(openPidfd(pid)) {}
    ~Child()
    {
        if (pidfd_ >= 0)
            ::close(pidfd_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    int pidfd() const { return pidfd_; }
    bool reaped() const { return reaped_; }

    bool tryReap()
    {
        if (reaped_)
            return true;
        int status = 0;
        pid_t result;
        do {
            result = ::waitpid(pid_, &status, WNOHANG);
        } while (result < 0 && errno == EINTR);
        reaped_ = result == pid_ || (result < 0 && errno == ECHILD);
        return reaped_;
    }

    void reapBlocking()
    {
        int status = 0;
        while (!reaped_) {
            const pid_t result = ::waitpid(pid_, &status, 0);
            if (result == pid_ || (result < 0 && errno != EINTR))
                reaped_ = true;
        }
    }

    // Waits up to `ms` for the exit; reaps it when it comes.
    bool waitExit(int ms)
    {
        QDeadlineTimer deadline(ms);
        while (!tryReap()) {
            const int left = static_cast<int>(deadline.remainingTime());
            if (left <= 0)
                return false;
            if (pidfd_ >= 0) {
                pollfd entry{pidfd_, POLLIN, 0};
                ::poll(&entry, 1, left);
            } else {
                ::usleep(static_cast<useconds_t>(std::min(left, exitPollMs)) * 1000);
            }
        }
        return true;
    }

    void signal(int number)
    {
        if (!reaped_)
            ::kill(pid_, number);
    }

private:
    pid_t pid_;
    int pidfd_;
    bool reaped_ = false;
};

enum class ReadState { more, endOfFile, full };

ReadState readAvailable(int fd, QByteArray& output)
{
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            output.append(buffer, n);
            if (output.size() >= maxCaptureBytes)
                return ReadState::full;
            continue;
        }
        if (n == 0)
            return ReadState::endOfFile;
        if (errno == EINTR)
            continue;
        return errno == EAGAIN ? ReadState::more : ReadState::endOfFile;
    }
}

} // namespace

std::optional<QByteArray> captureOutput(const QString& program, const QStringList& arguments,
                                        double timeoutSeconds, int killGraceMs)
{
    const SpawnResult spawned = spawnCapturingOutput(program, arguments);
    if (std::holds_alternative<SpawnError>(spawned))
        return std::nullopt;
    const SpawnedChild started = std::get<SpawnedChild>(spawned);
    QDeadlineTimer deadline(static_cast<qint64>(std::max(0.0, timeoutSeconds) * 1000.0));

    const int fd = started.stdoutFd;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    Child child(started.pid);
    QByteArray output;
    bool open = true;

    while (open && !child.reaped()) {
        const int left = static_cast<int>(deadline.remainingTime());
        if (left <= 0)
            break;
        pollfd entries[2] = {{fd, POLLIN, 0}, {child.pidfd(), POLLIN, 0}};
        const nfds_t count = child.pidfd() >= 0 ? 2 : 1;
        const int wait = child.pidfd() >= 0 ? left : std::min(left, exitPollMs);
        if (::poll(entries, count, wait) < 0 && errno != EINTR)
            break;
        const ReadState state = readAvailable(fd, output);
        if (state != ReadState::more)
            open = false;
        child.tryReap();
    }
    // The program has gone: everything it wrote is already in the pipe. Take that and stop,
    // whoever else still holds the write end.
    if (open && child.reaped())
        readAvailable(fd, output);
    ::close(fd);

    // End of file without an exit (the program closed its output): wait for the rest of the
    // time limit, then escalate.
    const int left = static_cast<int>(deadline.remainingTime());
    if (!child.reaped() && !child.waitExit(std::max(0, left))) {
        child.signal(SIGTERM);
        child.signal(SIGCONT);
        if (!child.waitExit(killGraceMs)) {
            child.signal(SIGKILL);
            child.reapBlocking();
        }
    }
    return output;
}
