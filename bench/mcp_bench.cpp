// `tallowmere mcp` over an open session with 200 projects: one tools/call of list_projects
// (agent -> pipe -> mcp -> control socket -> instance and back), and tools/list, which the MCP
// process answers alone, for the share of the pipes and JSON. The instance side is the
// application's own handler and server on a model with 200 registered projects, serving from
// the main thread while the measurements run on another.
#include "bench_instance.h"
#include "control/instance_lock.h"
#include "storage/storage.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <benchmark/benchmark.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int projectCount = 200;

// A `tallowmere mcp` process with pipes to its standard input and output.
class McpProcess
{
public:
    McpProcess()
    {
        int toChild[2];
        int fromChild[2];
        if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
        posix_spawn_file_actions_addclose(&actions, toChild[1]);
        posix_spawn_file_actions_addclose(&actions, fromChild[0]);
        QByteArray program(TALLOWMERE_EXECUTABLE);
        QByteArray command("mcp");
        char* arguments[] = {program.data(), command.data(), nullptr};
        const int failed =
            posix_spawn(&pid_, program.constData(), &actions, nullptr, arguments, environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(toChild[0]);
        ::close(fromChild[1]);
        in_ = toChild[1];
        out_ = fromChild[0];
        if (failed)
            pid_ = 0;
    }
    ~McpProcess()
    {
        ::close(in_);
        ::close(out_);
        if (pid_ > 0)
            waitpid(pid_, nullptr, 0);
    }

    bool ok() const { return pid_ > 0; }

    // Sends one line and returns the answer line.
    QByteArray ask(const QByteArray& line)
    {
        if (::write(in_, line.constData(), size_t(line.size())) != line.size())
            return {};
        for (;;) {
            if (const qsizetype end = buffer_.indexOf('\n'); end >= 0) {
                QByteArray answer = buffer_.left(end);
                buffer_.remove(0, end + 1);
                return answer;
            }
            char chunk[65536];
            const ssize_t n = ::read(out_, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return {};
            buffer_.append(chunk, n);
        }
    }

private:
    pid_t pid_ = 0;
    int in_ = -1;
    int out_ = -1;
    QByteArray buffer_;
};

const QByteArray initialize =
    R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"protocolVersion":"2025-11-25",)"
    R"("capabilities":{},"clientInfo":{"name":"bench","version":"1"}}})"
    "\n";

void roundTrips(benchmark::State& state, const QByteArray& request, bool listsProjects)
{
    McpProcess mcp;
    if (!mcp.ok() || mcp.ask(initialize).isEmpty()) {
        state.SkipWithError("tallowmere mcp did not start");
        return;
    }
    const QJsonObject first = QJsonDocument::fromJson(mcp.ask(request)).object();
    const QJsonObject result = first.value(QStringLiteral("result")).toObject();
    const qsizetype projects = result.value(QStringLiteral("structuredContent"))
                                   .toObject()
                                   .value(QStringLiteral("projects"))
                                   .toArray()
                                   .size();
    if (listsProjects ? projects != projectCount : !result.contains(QStringLiteral("tools"))) {
        state.SkipWithError("unexpected answer");
        return;
    }
    qint64 bytes = 0;
    for (auto _ : state)
        bytes += mcp.ask(request).size();
    state.counters["answer_bytes"] = double(bytes) / double(state.iterations());
}

void BM_McpListProjects(benchmark::State& state)
{
    roundTrips(state,
               R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"list_projects",)"
               R"("arguments":{}}})"
               "\n",
               true);
}
BENCHMARK(BM_McpListProjects)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

void BM_McpToolsList(benchmark::State& state)
{
    roundTrips(state,
               R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})"
               "\n",
               false);
}
BENCHMARK(BM_McpToolsList)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    return runBenchmarksAgainstInstance(argc, argv, projectCount);
}
