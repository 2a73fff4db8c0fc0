// Time from process start to the first painted main window with 200 registered projects, and
// the resident memory of the idle application afterwards (no web view), on the offscreen
// platform. Each iteration starts this program again as a child ("--child SUPPORT_DIR"), so
// the measured time includes loading the libraries, creating the application and the model.
// The login-shell capture and the inspection run in the background and are not waited for.

#include "model/app_model.h"
#include "storage/registry_file.h"
#include "supervision/shell_environment.h"
#include "ui/app_shell.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

constexpr int projectCount = 200;
constexpr int idleSeconds = 3;

qint64 monotonicNanos()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
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

// 200 real project folders with a configuration and a package, registered under one root.
void writeRegistry(const QString& base)
{
    Registry registry;
    const QString root = base + QStringLiteral("/Sites");
    registry.roots = {root};
    for (int i = 0; i < projectCount; ++i) {
        const QString name = QStringLiteral("project-%1").arg(i, 3, 10, QLatin1Char('0'));
        const QString folder = root + QLatin1Char('/') + name;
        QDir().mkpath(folder);
        QFile config(folder + QStringLiteral("/wrangler.jsonc"));
        config.open(QIODevice::WriteOnly);
        config.write(QStringLiteral("{ \"name\": \"%1\", \"main\": \"src/index.ts\", "
                                    "\"kv_namespaces\": [{\"binding\": \"CACHE\"}] }")
                         .arg(name)
                         .toUtf8());
        Project project;
        project.path = folder;
        project.configFile = QStringLiteral("wrangler.jsonc");
        project.name = name;
        project.rootPath = root;
        if (i % 25 == 0)
            project.favorite = true;
        registry.projects.append(project);
    }
    saveRegistry(registry);
}

int runChild(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    AppShell shell(ShellEnvironment::processEnvironment(), LaunchPlan{});
    shell.start();
    QObject::connect(shell.mainWindow(), &MainWindow::firstPainted, &app, [] {
        std::printf("painted %lld\n", static_cast<long long>(monotonicNanos()));
        std::fflush(stdout);
    });
    const auto reportIdle = [] {
        std::printf("rss %lld\n", static_cast<long long>(residentBytes()));
        std::fflush(stdout);
        QCoreApplication::exit(0);
    };
    // Idle: start-up finished, then a few quiet seconds (or a cap when start-up is slow).
    QObject::connect(&shell.model(), &AppModel::bootstrapFinished, &app,
                     [reportIdle] { QTimer::singleShot(idleSeconds * 1000, reportIdle); });
    QTimer::singleShot(20000, &app, reportIdle);
    return app.exec();
}

QString self;
QString supportDir;
double lastRssMB = 0;

void StartupToFirstPaint(benchmark::State& state)
{
    for (auto _ : state) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("TALLOWMERE_SUPPORT_DIR"), supportDir);
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const qint64 started = monotonicNanos();
        child.start(self, {QStringLiteral("--child")});
        qint64 painted = 0;
        qint64 rss = -1;
        while (child.waitForReadyRead(30000) || child.canReadLine()) {
            while (child.canReadLine()) {
                const QByteArray line = child.readLine().trimmed();
                if (line.startsWith("painted "))
                    painted = line.mid(8).toLongLong();
                else if (line.startsWith("rss "))
                    rss = line.mid(4).toLongLong();
            }
            if (rss >= 0)
                break;
        }
        child.waitForFinished(10000);
        if (painted == 0) {
            state.SkipWithError("the child never painted its window");
            return;
        }
        state.SetIterationTime(double(painted - started) / 1e9);
        lastRssMB = double(rss) / 1048576.0;
    }
    state.counters["idle_rss_MB"] = lastRssMB;
}
BENCHMARK(StartupToFirstPaint)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--child") == 0)
        return runChild(argc, argv);

    QCoreApplication app(argc, argv);
    self = QCoreApplication::applicationFilePath();
    QTemporaryDir temp;
    supportDir = temp.filePath(QStringLiteral("support"));
    qputenv("TALLOWMERE_SUPPORT_DIR", supportDir.toUtf8());
    writeRegistry(temp.path());

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("target: first paint < 250 ms, idle resident memory < 70 MB (offscreen, %d "
                "projects); last idle RSS %.1f MB\n",
                projectCount, lastRssMB);
    return 0;
}
