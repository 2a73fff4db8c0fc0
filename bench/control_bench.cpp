// The control socket's round trips with 200 projects: `tallowmere status` as a whole process
// (start, connect, ask, print the table, exit), and one status request over an open
// connection. The instance side is the application's own handler and server on a model with
// 200 registered projects, serving from the main thread while the measurements run on another.
#include "bench_instance.h"
#include "control/control_client.h"
#include "control/control_protocol.h"
#include "control/instance_lock.h"
#include "storage/storage.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

constexpr int projectCount = 200;

// The argument that makes this program exit at once: a Qt Core program's start-up cost.
constexpr const char* exitAtOnce = "--exit-at-once";
QByteArray ownPath;

// Runs `program argument` with its output thrown away; returns its exit code.
int runProcess(const char* path, const char* argument)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    QByteArray program(path);
    QByteArray command(argument);
    char* arguments[] = {program.data(), command.data(), nullptr};
    pid_t pid = 0;
    const int failed =
        posix_spawn(&pid, program.constData(), &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void BM_StatusProcess(benchmark::State& state)
{
    for (auto _ : state)
        if (runProcess(TALLOWMERE_EXECUTABLE, "status") != 0)
            state.SkipWithError("tallowmere status failed");
}
BENCHMARK(BM_StatusProcess)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

// For comparison: `tallowmere help`, which never connects, and a Qt Core program (this one)
// that exits at once. Their difference to the status run is the socket round trip.
void BM_HelpProcess(benchmark::State& state)
{
    for (auto _ : state)
        if (runProcess(TALLOWMERE_EXECUTABLE, "help") != 0)
            state.SkipWithError("tallowmere help failed");
}
BENCHMARK(BM_HelpProcess)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

void BM_QtCoreProcess(benchmark::State& state)
{
    for (auto _ : state)
        if (runProcess(ownPath.constData(), exitAtOnce) != 0)
            state.SkipWithError("the baseline failed");
}
BENCHMARK(BM_QtCoreProcess)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

void BM_StatusOverOpenConnection(benchmark::State& state)
{
    ControlClient client;
    if (!client.connectTo(InstanceAddress::forSupportFolder(supportDirectory()).socketPath)) {
        state.SkipWithError("no instance");
        return;
    }
    const QByteArray request = encodeRequest(ControlRequest{});
    for (auto _ : state) {
        client.send(request);
        const std::optional<QJsonObject> answer = client.receive(5000);
        if (!answer || answer->value(QStringLiteral("projects")).toArray().size() != projectCount)
            state.SkipWithError("no status");
    }
}
BENCHMARK(BM_StatusOverOpenConnection)->Unit(benchmark::kMicrosecond)->MinTime(2.0)->UseRealTime();

// A new connection per request, as every `tallowmere status` process makes one.
void BM_StatusOnNewConnection(benchmark::State& state)
{
    const QString socketPath = InstanceAddress::forSupportFolder(supportDirectory()).socketPath;
    const QByteArray request = encodeRequest(ControlRequest{});
    for (auto _ : state) {
        ControlClient client;
        if (!client.connectTo(socketPath) || !client.send(request) || !client.receive(5000))
            state.SkipWithError("no status");
    }
}
BENCHMARK(BM_StatusOnNewConnection)->Unit(benchmark::kMicrosecond)->MinTime(2.0)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], exitAtOnce) == 0)
        return 0;
    ownPath = QFile::encodeName(QFileInfo(QString::fromLocal8Bit(argv[0])).absoluteFilePath());
    return runBenchmarksAgainstInstance(argc, argv, projectCount);
}
