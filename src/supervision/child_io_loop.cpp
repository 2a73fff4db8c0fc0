#include "supervision/child_io_loop.h"

#include "supervision/line_splitter.h"
#include "supervision/output_channel.h"
#include "supervision/process_groups.h"

#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t readSize = size_t(64) * 1024;
// At most this much of one stream per round, so that a flooding child cannot starve the others.
constexpr qsizetype roundBytesPerStream = qsizetype(256) * 1024;
// After a round that read something, the loop waits this long before the next, so that the
// lines of many children printing at once travel in a few larger batches (and deliveries)
// instead of one wake-up per write. Not while a flood is on: once a read took a whole buffer
// (a full pipe), the loop reads on without pauses for the next `floodHold`.
constexpr auto trickleWait = std::chrono::milliseconds(15);
constexpr auto floodHold = std::chrono::milliseconds(500);
// Without process descriptors exits are noticed by polling at this interval.
constexpr int exitPollMs = 100;

// Keys of the epoll registrations; the low bit tells streams from children.
constexpr std::uint64_t wakeKey = 0;
constexpr std::uint64_t childBit = 1;

int openPidfd(pid_t pid)
{
    const long fd = ::syscall(SYS_pidfd_open, pid, 0);
    if (fd < 0)
        return -1;
    ::fcntl(int(fd), F_SETFD, FD_CLOEXEC);
    return int(fd);
}

// The exit code of an exited child, without reaping it; nothing while it runs.
std::optional<int> exitedCode(pid_t pid)
{
    siginfo_t info{};
    int result;
    do {
        result = ::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT);
    } while (result < 0 && errno == EINTR);
    if (result < 0)
        return errno == ECHILD ? std::optional<int>(0) : std::nullopt; // reaped by someone else
    if (info.si_pid != pid)
        return std::nullopt;
    if (info.si_code == CLD_EXITED)
        return info.si_status;
    return 128 + info.si_status;
}

void reap(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) < 0 && errno == EINTR) {
    }
}

} // namespace

class ChildIoLoop::Engine
{
public:
    Engine()
    {
        epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
        wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = wakeKey;
        ::epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &event);
        std::thread([this] { run(); }).detach();
    }

    void watch(Child child)
    {
        {
            std::lock_guard lock(mutex_);
            incoming_.push_back(std::move(child));
        }
        wake();
    }

private:
    struct Stream
    {
        int fd = -1;
        bool isError = false;
        bool paused = false;
        LineSplitter splitter;
        std::shared_ptr<OutputChannel> channel;
    };
    struct Watched
    {
        Child child;
        int pidfd = -1;
        bool exited = false;
        bool reaped = false;
        bool released = false;
        Clock::time_point releaseAt;
        Clock::time_point killAt;
    };

    void wake()
    {
        const std::uint64_t one = 1;
        while (::write(wake_, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }

    void arm(int fd, std::uint64_t key)
    {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = key;
        ::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event);
    }

    void disarm(int fd) { ::epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr); }

    std::uint64_t nextKey(bool child)
    {
        lastKey_ += 2;
        return lastKey_ | (child ? childBit : 0);
    }

    void addStream(int fd, bool isError, const std::shared_ptr<OutputChannel>& channel)
    {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        const std::uint64_t key = nextKey(false);
        Stream& stream = streams_[key];
        stream.fd = fd;
        stream.isError = isError;
        stream.channel = channel;
        arm(fd, key);
    }

    void takeIncoming()
    {
        std::vector<Child> children;
        std::vector<std::uint64_t> resumed;
        {
            std::lock_guard lock(mutex_);
            children.swap(incoming_);
            resumed.swap(resumed_);
        }
        std::uint64_t drained = 0;
        while (::read(wake_, &drained, sizeof drained) < 0 && errno == EINTR) {
        }
        for (Child& child : children) {
            addStream(child.stdoutFd, false, child.channel);
            addStream(child.stderrFd, true, child.channel);
            const std::uint64_t key = nextKey(true);
            Watched& watched = children_[key];
            watched.pidfd = openPidfd(child.pid);
            watched.child = std::move(child);
            if (watched.pidfd >= 0)
                arm(watched.pidfd, key);
            else
                ++polledChildren_;
        }
        for (const std::uint64_t key : resumed) {
            const auto found = streams_.find(key);
            if (found != streams_.end() && found->second.paused) {
                found->second.paused = false;
                arm(found->second.fd, key); // level-triggered: what waits is reported at once
            }
        }
    }

    struct Reading
    {
        bool read = false;   // something arrived
        bool filled = false; // a read took a whole buffer: more is waiting
    };

    // Reads what the stream has, up to a round's share.
    Reading readStream(std::uint64_t key)
    {
        const auto found = streams_.find(key);
        if (found == streams_.end())
            return {};
        Stream& stream = found->second;
        if (stream.paused)
            return {};
        const std::uint64_t resumeKey = key;
        if (!stream.channel->roomOrNotify([this, resumeKey] { resume(resumeKey); })) {
            stream.paused = true;
            disarm(stream.fd);
            return {};
        }
        QStringList lines;
        qsizetype taken = 0;
        Reading reading;
        bool ended = false;
        while (taken < roundBytesPerStream) {
            const ssize_t n = ::read(stream.fd, buffer_.get(), readSize);
            if (n > 0) {
                taken += n;
                stream.splitter.feed(QByteArrayView(buffer_.get(), n), lines);
                if (size_t(n) < readSize)
                    break;
                reading.filled = true;
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            ended = n == 0 || errno != EAGAIN;
            break;
        }
        if (!lines.isEmpty())
            stream.channel->pushLines(std::move(lines), stream.isError);
        if (ended) {
            if (std::optional<QString> rest = stream.splitter.flush())
                stream.channel->pushLines({*rest}, stream.isError);
            disarm(stream.fd);
            ::close(stream.fd);
            const std::shared_ptr<OutputChannel> channel = std::move(stream.channel);
            streams_.erase(found);
            channel->endStream();
        }
        reading.read = taken > 0;
        return reading;
    }

    void resume(std::uint64_t key)
    {
        {
            std::lock_guard lock(mutex_);
            resumed_.push_back(key);
        }
        wake();
    }

    void checkExit(Watched& watched)
    {
        if (watched.exited)
            return;
        const std::optional<int> code = exitedCode(watched.child.pid);
        if (!code)
            return;
        const Clock::time_point now = Clock::now();
        watched.exited = true;
        watched.releaseAt =
            now + std::chrono::milliseconds(watched.child.timing.exitAfterStreamsGraceMs);
        watched.killAt = now + std::chrono::milliseconds(watched.child.timing.leftoverKillDelayMs);
        if (watched.pidfd >= 0)
            disarm(watched.pidfd); // stays readable from now on
        else
            --polledChildren_;
        if (ProcessGroups::groupAlive(watched.child.pid)) {
            // The leader is not reaped yet, so its pid cannot name another group meanwhile.
            ProcessGroups::askGroupToQuit(watched.child.pid);
        } else {
            // Nothing of the group runs (no process can join a group without a member): no
            // signal will follow, and the leader need not wait as a zombie.
            reapNow(watched);
        }
        if (watched.child.exited)
            watched.child.exited(*code);
    }

    void reapNow(Watched& watched)
    {
        watched.reaped = true;
        reap(watched.child.pid);
        if (watched.pidfd >= 0)
            ::close(watched.pidfd);
        watched.pidfd = -1;
    }

    // Releases held exit reports and ends the children whose leftovers had their time; tells
    // how long until the next such moment (-1: none).
    int runDeadlines()
    {
        const Clock::time_point now = Clock::now();
        Clock::time_point next = Clock::time_point::max();
        for (auto it = children_.begin(); it != children_.end();) {
            Watched& watched = it->second;
            if (!watched.exited) {
                ++it;
                continue;
            }
            if (!watched.released && now >= watched.releaseAt) {
                // The report waits for the last lines, but not for a process that left the
                // group and keeps the pipe open.
                watched.released = true;
                watched.child.channel->releaseExit();
            }
            if (now >= watched.killAt) {
                // Invariant: SIGKILL before the reap. The unreaped leader keeps its pid, the
                // group's id, from being given to a new process that this signal would hit.
                if (!watched.reaped) {
                    ProcessGroups::signalGroup(watched.child.pid, SIGKILL);
                    reapNow(watched);
                }
                it = children_.erase(it);
                continue;
            }
            next = std::min(next, watched.released ? watched.killAt : watched.releaseAt);
            ++it;
        }
        if (next == Clock::time_point::max())
            return -1;
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - now).count();
        return int(std::clamp<long long>(wait, 0, 60000));
    }

    void run()
    {
        pthread_setname_np(pthread_self(), "ChildIo");
        buffer_.reset(new char[readSize]);
        std::vector<epoll_event> events(64);
        int timeout = -1;
        Clock::time_point floodUntil;
        for (;;) {
            const int count = ::epoll_wait(epoll_, events.data(), int(events.size()), timeout);
            bool read = false;
            bool filled = false;
            std::vector<std::uint64_t> ready;
            for (int i = 0; i < count; ++i) {
                const std::uint64_t key = events[size_t(i)].data.u64;
                if (key == wakeKey)
                    takeIncoming();
                else
                    ready.push_back(key);
            }
            for (const std::uint64_t key : ready) {
                if (key & childBit) {
                    const auto found = children_.find(key);
                    if (found != children_.end())
                        checkExit(found->second);
                } else {
                    const Reading reading = readStream(key);
                    read = read || reading.read;
                    filled = filled || reading.filled;
                }
            }
            if (polledChildren_ > 0)
                for (auto& [key, watched] : children_)
                    if (watched.pidfd < 0)
                        checkExit(watched);
            timeout = runDeadlines();
            if (polledChildren_ > 0)
                timeout = timeout < 0 ? exitPollMs : std::min(timeout, exitPollMs);
            const Clock::time_point now = Clock::now();
            if (filled)
                floodUntil = now + floodHold;
            if (read && now >= floodUntil)
                std::this_thread::sleep_for(trickleWait);
        }
    }

    int epoll_ = -1;
    int wake_ = -1;
    std::mutex mutex_;
    std::vector<Child> incoming_;        // guarded by mutex_
    std::vector<std::uint64_t> resumed_; // guarded by mutex_
    // The rest belongs to the loop's thread.
    std::unordered_map<std::uint64_t, Stream> streams_;
    std::unordered_map<std::uint64_t, Watched> children_;
    int polledChildren_ = 0;
    std::uint64_t lastKey_ = 0;
    std::unique_ptr<char[]> buffer_;
};

ChildIoLoop::ChildIoLoop() : engine_(std::make_unique<Engine>()) {}

ChildIoLoop& ChildIoLoop::shared()
{
    // Never destroyed: its thread serves children until the process ends.
    static ChildIoLoop* loop = new ChildIoLoop;
    return *loop;
}

void ChildIoLoop::watch(Child child)
{
    engine_->watch(std::move(child));
}
