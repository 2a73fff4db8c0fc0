// Thirty busy dev servers at once in the whole application (AppShell) under a real X server
// (Xvfb, the xcb platform): thirty projects in the custom mode, each a process that prints
// 1,000 Wrangler-like request lines a second, one write per line, with the Logs tab of one of
// them shown and following. After a warm-up, the application's own threads, resident memory
// and CPU time (all its threads, not the servers) are sampled for ten seconds.
//
// Prints threads_max, rss_end_MB, rss_max_MB, cpu_percent (of one core) and the lines per
// second that reached the logs. Targets: at most 40 threads, 150 MB and 15 %.
// Usage: gui_many_servers_bench [--benchmark_...]; it starts Xvfb itself and runs the
// application in a child process of its own.

#include "model/app_model.h"
#include "runs/project_runtime.h"
#include "storage/registry_file.h"
#include "supervision/external/proc_stat.h"
#include "supervision/shell_environment.h"
#include "ui/app_shell.h"
#include "ui/logs/logs_tab.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <malloc.h>
#include <unistd.h>

namespace {

constexpr int serverCount = 30;
constexpr int warmUpMs = 4000;
constexpr int measureMs = 10000;

// 1,000 lines a second, one write per line: ten lines every 10 ms.
constexpr char serverCommand[] =
    "echo '[wrangler:info] Ready on http://localhost:18790'; "
    "exec perl -e '$| = 1; my $n = 0; while (1) { for (1 .. 10) { "
    "print \"[wrangler:info] GET /api/items/$n 200 OK (3ms)\\n\"; $n++ } "
    "select(undef, undef, undef, 0.01) }'";

QString sitesRoot;

QString projectPath(int index)
{
    return sitesRoot + QStringLiteral("/server-%1").arg(index, 2, 10, QLatin1Char('0'));
}

void writeRegistry(const QString& base)
{
    Registry registry;
    sitesRoot = base + QStringLiteral("/Sites");
    registry.roots = {sitesRoot};
    for (int i = 0; i < serverCount; ++i) {
        const QString path = projectPath(i);
        QDir().mkpath(path);
        QFile config(path + QStringLiteral("/wrangler.jsonc"));
        config.open(QIODevice::WriteOnly);
        config.write("{ \"name\": \"server-" + QByteArray::number(i) + "\" }");
        Project project;
        project.path = path;
        project.configFile = QStringLiteral("wrangler.jsonc");
        project.name = QFileInfo(path).fileName();
        project.rootPath = sitesRoot;
        project.runModeOverride = RunModeKind::custom;
        project.customCommand = QString::fromLatin1(serverCommand);
        registry.projects.append(project);
    }
    saveRegistry(registry);
}

qint64 threadCount()
{
    return QDir(QStringLiteral("/proc/self/task"))
        .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
        .size();
}

qint64 residentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
    return -1;
}

// CPU time of the whole process (every thread), in clock ticks.
quint64 processTicks()
{
    const std::optional<ProcStat> stat = readProcStat(qint32(::getpid()));
    return stat ? stat->userTicks + stat->systemTicks : 0;
}

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

AppShell* shell = nullptr;

void BM_ThirtyServersAThousandLinesASecondEach(benchmark::State& state)
{
    AppModel& model = shell->model();
    for (auto _ : state) {
        model.select(projectPath(0));
        model.setSelectedTab(DetailTab::logs);
        for (int i = 0; i < serverCount; ++i)
            model.startProject(projectPath(i));
        wait(warmUpMs);
        const auto* tab = shell->mainWindow()->findChild<LogsTab*>(QStringLiteral("logsTab"));
        const bool shown = tab && tab->isVisible();
        int running = 0;
        qint64 linesBefore = 0;
        for (int i = 0; i < serverCount; ++i) {
            const ProjectRuntime* runtime = model.runtimeFor(projectPath(i));
            running += runtime && runtime->managed() ? 1 : 0;
            linesBefore += runtime ? runtime->log()->nextID() : 0;
        }

        const quint64 ticksBefore = processTicks();
        QElapsedTimer clock;
        clock.start();
        qint64 threadsMax = 0;
        qint64 rssMax = 0;
        while (clock.elapsed() < measureMs) {
            wait(250);
            threadsMax = std::max(threadsMax, threadCount());
            rssMax = std::max(rssMax, residentBytes());
        }
        const double seconds = double(clock.elapsed()) / 1000.0;
        const double cpuSeconds =
            double(processTicks() - ticksBefore) / double(::sysconf(_SC_CLK_TCK));
        qint64 linesAfter = 0;
        for (int i = 0; i < serverCount; ++i)
            if (const ProjectRuntime* runtime = model.runtimeFor(projectPath(i)))
                linesAfter += runtime->log()->nextID();

        state.SetIterationTime(seconds);
        constexpr double mb = 1048576.0;
        state.counters["servers_running"] = running;
        state.counters["threads_max"] = double(threadsMax);
        state.counters["rss_end_MB"] = double(residentBytes()) / mb;
        state.counters["rss_max_MB"] = double(rssMax) / mb;
        state.counters["cpu_percent"] = cpuSeconds / seconds * 100.0;
        const struct mallinfo2 heap = ::mallinfo2();
        state.counters["heap_used_MB"] = double(heap.uordblks + heap.hblkhd) / mb;
        state.counters["heap_free_MB"] = double(heap.fordblks) / mb;
        state.counters["lines_per_s"] = double(linesAfter - linesBefore) / seconds;
        if (!shown)
            state.SkipWithError("the Logs tab was not shown");
        else if (running != serverCount)
            state.SkipWithError("not every server was running");
        for (int i = 0; i < serverCount; ++i)
            model.stopProject(projectPath(i));
        wait(3000);
    }
}
BENCHMARK(BM_ThirtyServersAThousandLinesASecondEach)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

int runApplication(int argc, char** argv)
{
    QTemporaryDir temp;
    qputenv("TALLOWMERE_SUPPORT_DIR", temp.filePath(QStringLiteral("support")).toUtf8());
    writeRegistry(temp.path());

    QApplication application(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    AppShell appShell(ShellEnvironment::processEnvironment(), LaunchPlan{});
    shell = &appShell;
    QEventLoop booting;
    QObject::connect(&appShell.model(), &AppModel::bootstrapFinished, &booting, &QEventLoop::quit);
    QTimer::singleShot(30000, &booting, &QEventLoop::quit);
    appShell.start();
    booting.exec();
    appShell.mainWindow()->resize(1180, 780);
    appShell.mainWindow()->show();

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("targets: threads_max <= 40, rss_max_MB <= 150, cpu_percent <= 15\n");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsSet("BENCH_MANY_SERVERS_CHILD"))
        return runApplication(argc, argv);

    // The parent only provides the X server: the figures are the child's alone.
    QCoreApplication parent(argc, argv);
    QProcess xvfb;
    xvfb.start(QStringLiteral("Xvfb"),
               {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                QStringLiteral("0"), QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"),
                QStringLiteral("tcp")});
    if (!xvfb.waitForReadyRead(10000)) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"),
                       u':' + QString::fromLatin1(xvfb.readLine().trimmed()));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("BENCH_MANY_SERVERS_CHILD"), QStringLiteral("1"));
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), QCoreApplication::arguments().mid(1));
    child.waitForFinished(-1);
    xvfb.terminate();
    xvfb.waitForFinished(5000);
    return child.exitCode();
}
