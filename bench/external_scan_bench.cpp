// Cost of reading the process table while many processes run: scanExternal against
// `ps -e -o pid=,comm=` (target: no slower than ps), and usageOfGroup (target: < 10 ms).
//
// Starts 2,000 sleeping children (and a small fake dev server: a process named "workerd"
// listening on loopback under a "node" parent) before measuring, and stops them after.

#include "supervision/external/system_processes.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <netinet/in.h>
#include <spawn.h>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr int sleeperCount = 2000;

std::vector<pid_t> children;
pid_t serverGroup = 0;
QString serverFolder;

// A child that waits until it is killed (or its parent dies); only async-signal-safe calls.
pid_t forkIdle(pid_t group, const char* name, const char* folder, bool listens)
{
    const pid_t pid = ::fork();
    if (pid != 0) {
        if (pid > 0)
            ::setpgid(pid, group); // both sides set it: no race with the first query
        return pid;
    }
    ::setpgid(0, group);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (name)
        ::prctl(PR_SET_NAME, name);
    if (folder && ::chdir(folder) != 0)
        ::_exit(1);
    if (listens) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(fd, 8) != 0)
            ::_exit(1);
    }
    for (;;)
        ::pause();
}

void startProcesses(const QString& folder)
{
    const QByteArray path = QFile::encodeName(folder);
    // The sleepers share one group, led by the first of them.
    pid_t sleepers = 0;
    for (int i = 0; i < sleeperCount; ++i) {
        const pid_t pid = forkIdle(sleepers, "sleeper", nullptr, false);
        if (pid < 0) {
            std::perror("fork");
            break;
        }
        sleepers = sleepers ? sleepers : pid;
        children.push_back(pid);
    }
    // The fake dev server: its group is what usageOfGroup measures.
    serverGroup = forkIdle(0, "node", path.constData(), true);
    children.push_back(serverGroup);
    children.push_back(forkIdle(serverGroup, "workerd", path.constData(), true));
    children.push_back(forkIdle(serverGroup, "workerd", path.constData(), true));
}

void stopProcesses()
{
    for (pid_t pid : children)
        ::kill(pid, SIGKILL);
    for (pid_t pid : children)
        ::waitpid(pid, nullptr, 0);
}

QList<Project> projects()
{
    QList<Project> list;
    for (int i = 0; i < 30; ++i) {
        Project project;
        project.path = QStringLiteral("/home/dev/projects/site-%1").arg(i);
        list.append(project);
    }
    Project server;
    server.path = serverFolder;
    list.append(server);
    return list;
}

void BM_ScanExternal(benchmark::State& state)
{
    const QList<Project> list = projects();
    for (auto _ : state) {
        const ExternalScan scan = scanExternal(list, {});
        if (!scan.contains(serverFolder))
            state.SkipWithError("the fake dev server was not found");
        benchmark::DoNotOptimize(scan);
    }
}

void BM_PsCommand(benchmark::State& state)
{
    const char* argv[] = {"ps", "-e", "-o", "pid=,comm=", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    for (auto _ : state) {
        pid_t pid = 0;
        if (posix_spawnp(&pid, "ps", &actions, nullptr, const_cast<char**>(argv), environ) != 0) {
            state.SkipWithError("ps could not be started");
            break;
        }
        ::waitpid(pid, nullptr, 0);
    }
    posix_spawn_file_actions_destroy(&actions);
}

void BM_MemoryOfGroup(benchmark::State& state)
{
    for (auto _ : state) {
        const quint64 bytes = usageOfGroup(serverGroup).memoryBytes;
        if (bytes == 0)
            state.SkipWithError("the fake dev server's group has no memory");
        benchmark::DoNotOptimize(bytes);
    }
}

BENCHMARK(BM_ScanExternal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PsCommand)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoryOfGroup)->Unit(benchmark::kMillisecond);

// Keeps the mean real time of each benchmark, for the summary line.
class RecordingReporter : public benchmark::ConsoleReporter
{
public:
    std::map<std::string, double> milliseconds;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration)
                milliseconds[run.benchmark_name()] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    QTemporaryDir folder;
    serverFolder = QDir(folder.path()).absolutePath();
    startProcesses(serverFolder);
    std::printf("processes in the table: %lld\n", static_cast<long long>(listAllPIDs().size()));

    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    stopProcesses();

    const double scan = reporter.milliseconds["BM_ScanExternal"];
    const double ps = reporter.milliseconds["BM_PsCommand"];
    const double memory = reporter.milliseconds["BM_MemoryOfGroup"];
    if (ps > 0)
        std::printf("scanExternal / ps: %.2f (target <= 1.0)\n", scan / ps);
    std::printf("usageOfGroup: %.2f ms (target < 10 ms)\n", memory);
    benchmark::Shutdown();
    return 0;
}
