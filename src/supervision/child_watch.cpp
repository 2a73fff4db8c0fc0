#include "supervision/child_watch.h"

#include "supervision/line_splitter.h"
#include "supervision/live_groups.h"
#include "supervision/output_channel.h"
#include "supervision/process_executor.h"
#include "supervision/process_groups.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace ChildWatch {

namespace {

constexpr size_t readSize = size_t(64) * 1024;

void readUntilEnd(int fd, bool isError, const std::shared_ptr<OutputChannel>& channel)
{
    LineSplitter splitter;
    std::unique_ptr<char[]> buffer(new char[readSize]);
    for (;;) {
        const ssize_t n = ::read(fd, buffer.get(), readSize);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        QStringList lines;
        splitter.feed(QByteArrayView(buffer.get(), n), lines);
        if (!lines.isEmpty())
            channel->pushLines(std::move(lines), isError);
    }
    if (std::optional<QString> rest = splitter.flush())
        channel->pushLines({*rest}, isError);
    ::close(fd);
    channel->endStream();
}

} // namespace

int exitCode(int waitStatus)
{
    if (WIFEXITED(waitStatus))
        return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus))
        return 128 + WTERMSIG(waitStatus);
    return 0;
}

void attachReader(int fd, bool isError, std::shared_ptr<OutputChannel> channel)
{
    std::thread(readUntilEnd, fd, isError, std::move(channel)).detach();
}

void watchExit(const QString& projectID, pid_t pid, std::shared_ptr<OutputChannel> channel,
               std::shared_ptr<ManagerLink> link, const TerminationTiming& timing)
{
    std::thread([projectID, pid, channel = std::move(channel), link = std::move(link), timing] {
        int status = 0;
        // Reaped by its own pid: other children of the application are none of our business.
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        const int code = exitCode(status);
        const auto exitedAt = std::chrono::steady_clock::now();
        ProcessGroups::signalGroup(pid, SIGTERM);

        {
            std::lock_guard lock(link->mutex);
            if (link->executor) {
                QMetaObject::invokeMethod(
                    link->executor,
                    [executor = link->executor, projectID, pid, code, channel] {
                        channel->pushExit(code, executor->markExited(projectID, pid));
                    },
                    Qt::QueuedConnection);
            } else {
                channel->pushExit(code, link->stopRequested.contains(projectID));
            }
        }
        // The report waits for the last lines, but not for a process that left the group and
        // keeps the pipe open.
        channel->waitForStreams(timing.exitAfterStreamsGraceMs);
        channel->releaseExit();

        std::this_thread::sleep_until(exitedAt +
                                      std::chrono::milliseconds(timing.leftoverKillDelayMs));
        if (ProcessGroups::groupAlive(pid))
            ProcessGroups::signalGroup(pid, SIGKILL);
        LiveGroups::remove(pid);
    }).detach();
}

} // namespace ChildWatch
