// A busy dev server seen through the shown Logs tab: a real child printing 20,000 lines a
// second for 10 s into a project started through the application model, whose Logs tab is
// shown with Follow on, in the whole application (AppShell) on the offscreen platform. Every
// event the GUI thread handles is timed (QApplication::notify), so the figures are the GUI
// thread's real work: the longest single event (one delivery of lines with its log append and
// text update, or a repaint), the total per 1,000 lines, and the resident memory at the end.
// A second run sends 100 MB without a line feed and reports how much the memory grows.

#include "model/app_model.h"
#include "storage/registry_file.h"
#include "runs/project_runtime.h"
#include "supervision/shell_environment.h"
#include "ui/app_shell.h"
#include "ui/logs/logs_tab.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

qint64 nanosOf(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// A field of /proc/self/status in bytes (VmRSS, VmHWM).
qint64 statusBytes(const QByteArray& field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').first().toLongLong() * 1024;
    return -1;
}

// Resets the peak resident size (VmHWM) to the current one.
void resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

// Times every event the GUI thread dispatches from its event loop (nested sends are part of
// the outer event).
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (depth_ > 0 || !measuring) {
            ++depth_;
            const bool result = QApplication::notify(receiver, event);
            --depth_;
            return result;
        }
        ++depth_;
        const qint64 start = nanosOf(CLOCK_MONOTONIC);
        const qint64 cpuStart = nanosOf(CLOCK_THREAD_CPUTIME_ID);
        const bool result = QApplication::notify(receiver, event);
        const qint64 took = nanosOf(CLOCK_MONOTONIC) - start;
        --depth_;
        busyNanos += took;
        events.push_back(took);
        longestCpuNanos = std::max(longestCpuNanos, nanosOf(CLOCK_THREAD_CPUTIME_ID) - cpuStart);
        return result;
    }

    bool measuring = false;
    qint64 busyNanos = 0;
    // The longest event in the thread's CPU time: without the time other processes had the
    // core (the machine may be busy).
    qint64 longestCpuNanos = 0;
    std::vector<qint64> events;

private:
    int depth_ = 0;
};

TimedApplication* app = nullptr;
AppShell* shell = nullptr;
QString sitesRoot;

QString projectPath(const QString& name)
{
    return sitesRoot + QLatin1Char('/') + name;
}

// Two projects in the custom mode, each with its own command.
void writeRegistry(const QString& base)
{
    Registry registry;
    sitesRoot = base + QStringLiteral("/Sites");
    registry.roots = {sitesRoot};
    const QList<std::pair<QString, QString>> projects = {
        // 1,000 lines every 50 ms for 10 s, with warnings and errors among ordinary requests.
        {QStringLiteral("busy"),
         QStringLiteral("echo '[wrangler:info] Ready on http://localhost:18790'\n"
                        "for chunk in $(seq 0 199); do\n"
                        "  seq -f \"[wrangler:info] GET /api/items/%g 200 OK (3ms)\" "
                        "$((chunk*1000)) $((chunk*1000+996))\n"
                        "  echo \"▲ [WARNING] slow request in chunk $chunk\"\n"
                        "  echo \"✘ [ERROR] Error: upstream failed in chunk $chunk\"\n"
                        "  echo \"    at handler (src/index.ts:12:5)\"\n"
                        "  sleep 0.05\n"
                        "done\n")},
        // 100 MB without a line feed.
        {QStringLiteral("flood"), QStringLiteral("head -c 104857600 /dev/zero | tr '\\0' x")},
    };
    for (const auto& [name, command] : projects) {
        QDir().mkpath(projectPath(name));
        QFile config(projectPath(name) + QStringLiteral("/wrangler.jsonc"));
        config.open(QIODevice::WriteOnly);
        config.write("{ \"name\": \"" + name.toUtf8() + "\" }");
        Project project;
        project.path = projectPath(name);
        project.configFile = QStringLiteral("wrangler.jsonc");
        project.name = name;
        project.rootPath = sitesRoot;
        project.runModeOverride = RunModeKind::custom;
        project.customCommand = command;
        registry.projects.append(project);
    }
    saveRegistry(registry);
}

struct Run
{
    qint64 lines = 0;
    double seconds = 0;
    double longestEventMs = 0;
    double longestEventCpuMs = 0;
    double p99EventMs = 0;
    double busyMs = 0;
    double cpuMs = 0;
    qint64 rssBefore = 0;
    qint64 rssAfter = 0;
    qint64 peak = 0;
    bool shown = false;
};

// Starts the project with its Logs tab shown and Follow on, and measures until it has exited.
Run runProject(const QString& name)
{
    AppModel& model = shell->model();
    const QString path = projectPath(name);
    model.select(path);
    model.setSelectedTab(DetailTab::logs);
    ProjectRuntime* runtime = model.runtimeFor(path);
    QEventLoop settle;
    QTimer::singleShot(500, &settle, &QEventLoop::quit);
    settle.exec();

    Run run;
    const auto* tab = shell->mainWindow()->findChild<LogsTab*>(QStringLiteral("logsTab"));
    run.shown = tab && tab->isVisible();
    run.rssBefore = statusBytes("VmRSS");
    resetPeak();
    app->events.clear();
    app->busyNanos = 0;
    app->longestCpuNanos = 0;
    const qint64 started = nanosOf(CLOCK_MONOTONIC);
    const qint64 cpuStarted = nanosOf(CLOCK_THREAD_CPUTIME_ID);
    const qint64 firstID = runtime->log()->nextID();
    app->measuring = true;

    QEventLoop running;
    QObject::connect(runtime, &ProjectRuntime::managedChanged, &running, [&] {
        if (!runtime->managed() && !runtime->status().isActive())
            running.quit();
    });
    QObject::connect(runtime, &ProjectRuntime::statusChanged, &running, [&] {
        if (!runtime->managed() && !runtime->status().isActive())
            running.quit();
    });
    QTimer::singleShot(120000, &running, &QEventLoop::quit);
    model.startProject(path);
    running.exec();

    app->measuring = false;
    run.seconds = double(nanosOf(CLOCK_MONOTONIC) - started) / 1e9;
    run.cpuMs = double(nanosOf(CLOCK_THREAD_CPUTIME_ID) - cpuStarted) / 1e6;
    run.lines = runtime->log()->nextID() - firstID;
    run.busyMs = double(app->busyNanos) / 1e6;
    run.longestEventCpuMs = double(app->longestCpuNanos) / 1e6;
    std::sort(app->events.begin(), app->events.end());
    if (!app->events.empty()) {
        run.longestEventMs = double(app->events.back()) / 1e6;
        run.p99EventMs = double(app->events[app->events.size() * 99 / 100]) / 1e6;
    }
    run.rssAfter = statusBytes("VmRSS");
    run.peak = statusBytes("VmHWM");
    return run;
}

void report(benchmark::State& state, const Run& run)
{
    constexpr double mb = 1048576.0;
    state.counters["lines"] = double(run.lines);
    state.counters["lines_per_s"] = double(run.lines) / run.seconds;
    state.counters["longest_event_ms"] = run.longestEventMs;
    state.counters["longest_event_cpu_ms"] = run.longestEventCpuMs;
    state.counters["p99_event_ms"] = run.p99EventMs;
    state.counters["gui_ms_per_1k_lines"] = run.busyMs / double(run.lines) * 1000.0;
    state.counters["gui_cpu_ms_per_1k_lines"] = run.cpuMs / double(run.lines) * 1000.0;
    state.counters["rss_end_MB"] = double(run.rssAfter) / mb;
    state.counters["rss_growth_MB"] = double(run.peak - run.rssBefore) / mb;
    if (!run.shown)
        state.SkipWithError("the Logs tab was not shown");
}

void BM_TwentyThousandLinesPerSecondIntoTheShownLogsTab(benchmark::State& state)
{
    for (auto _ : state) {
        const Run run = runProject(QStringLiteral("busy"));
        state.SetIterationTime(run.seconds);
        report(state, run);
    }
}
BENCHMARK(BM_TwentyThousandLinesPerSecondIntoTheShownLogsTab)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_HundredMegabytesWithoutALineFeedIntoTheShownLogsTab(benchmark::State& state)
{
    for (auto _ : state) {
        const Run run = runProject(QStringLiteral("flood"));
        state.SetIterationTime(run.seconds);
        report(state, run);
    }
}
BENCHMARK(BM_HundredMegabytesWithoutALineFeedIntoTheShownLogsTab)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir temp;
    qputenv("TALLOWMERE_SUPPORT_DIR", temp.filePath(QStringLiteral("support")).toUtf8());
    writeRegistry(temp.path());

    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    TimedApplication application(argc, argv);
    app = &application;
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    AppShell appShell(ShellEnvironment::processEnvironment(), LaunchPlan{});
    shell = &appShell;
    QEventLoop booting;
    QObject::connect(&appShell.model(), &AppModel::bootstrapFinished, &booting, &QEventLoop::quit);
    QTimer::singleShot(30000, &booting, &QEventLoop::quit);
    appShell.start();
    booting.exec();
    appShell.mainWindow()->resize(1180, 780);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("targets: longest event < 16 ms, GUI time < 20 ms per 1,000 lines, resident "
                "memory < 120 MB at the end; 100 MB without a line feed: growth < 20 MB\n");
    return 0;
}
