// What the application costs while nobody looks, under a real X server (Xvfb) with a tray (a
// status-notifier watcher on a private session bus): wake-ups per second (context switches of
// all its threads) and CPU share of one core, with one quiet server running, in three states:
// the window closed to the tray, the window minimised, and the window shown on the running
// project's Overview (its binding diagram animating). The application runs as a child of this
// program ("--child"), which changes its state through standard input and measures it in /proc.

#include "model/app_model.h"
#include "model/detail_tab.h"
#include "runs/project_runtime.h"
#include "storage/registry_file.h"
#include "supervision/shell_environment.h"
#include "ui/app_lifecycle.h"
#include "ui/app_shell.h"
#include "ui/main_window.h"
#include "ui/support/panel_session.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSocketNotifier>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

constexpr int measureSeconds = 5;
constexpr int settleMs = 2000;

// ---- The application ----

int runChild(int argc, char** argv, const QString& project)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    LaunchPlan plan;
    plan.autostart = true;
    AppShell shell(ShellEnvironment::processEnvironment(), plan);
    shell.start();
    AppModel& model = shell.model();
    QObject::connect(&model, &AppModel::bootstrapFinished, &app, [&] {
        model.select(project);
        model.setSelectedTab(DetailTab::overview);
        ProjectRuntime* runtime = model.runtimeFor(project);
        QObject::connect(runtime, &ProjectRuntime::statusChanged, &app, [runtime] {
            if (runtime->status().kind() == ProjectStatus::Kind::running) {
                std::printf("running\n");
                std::fflush(stdout);
            }
        });
        model.startProject(project);
    });
    QSocketNotifier commands(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&commands, &QSocketNotifier::activated, &app, [&] {
        char buffer[64] = {};
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer - 1);
        const QByteArray command = n > 0 ? QByteArray(buffer, int(n)).trimmed() : "quit";
        if (command == "hide")
            shell.mainWindow()->hide();
        else if (command == "minimize")
            shell.mainWindow()->showMinimized();
        else if (command == "show")
            shell.showMainWindow();
        else
            shell.lifecycle().endSession();
    });
    return app.exec();
}

// ---- The measurement ----

struct Usage
{
    long long switches = 0; // voluntary and involuntary context switches of every thread
    long long ticks = 0;    // user and system CPU time
};

Usage usageOf(qint64 pid)
{
    Usage usage;
    const QString base = QStringLiteral("/proc/%1/").arg(pid);
    for (const QString& task :
         QDir(base + QStringLiteral("task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status(base + QStringLiteral("task/") + task + QStringLiteral("/status"));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("voluntary_ctxt_switches:") ||
                line.startsWith("nonvoluntary_ctxt_switches:"))
                usage.switches += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
    }
    QFile stat(base + QStringLiteral("stat"));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray text = stat.readAll();
        // After the command name in parentheses: state is field 3, utime 14, stime 15.
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 12)
            usage.ticks = fields[11].toLongLong() + fields[12].toLongLong();
    }
    return usage;
}

// The private display, bus and tray, the support folder and the running application.
struct Session
{
    PrivateSession desktop;
    QTemporaryDir folder;
    std::unique_ptr<QObject> watcherOwner;
    QProcess app;
    QString problem;

    bool start(const QString& self)
    {
        if (!desktop.ok())
            return fail(desktop.problem());
        watcherOwner = std::make_unique<QObject>();
        StatusNotifierWatcher::serve(desktop.bus(), watcherOwner.get());

        const QString project = writeProject();
        QProcessEnvironment environment = desktop.environment();
        environment.insert(QStringLiteral("TALLOWMERE_SUPPORT_DIR"), folder.filePath("support"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder.filePath("config"));
        environment.insert(QStringLiteral("SHELL"), QStringLiteral("/bin/sh"));
        app.setProcessEnvironment(environment);
        app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        app.start(self, {QStringLiteral("--child"), project});
        // The bus answers the application's calls from this thread's event loop: wait in it.
        QDeadlineTimer deadline(30000);
        while (!app.canReadLine() && !deadline.hasExpired() &&
               app.state() != QProcess::NotRunning) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            app.waitForReadyRead(50);
        }
        if (!app.readLine().startsWith("running"))
            return fail(QStringLiteral("the server never ran"));
        return true;
    }

    // One project whose server says it is ready, then sleeps; its configuration has bindings,
    // so that its Overview draws the animated diagram.
    QString writeProject()
    {
        QString path = folder.filePath(QStringLiteral("Sites/quiet"));
        QDir().mkpath(path);
        QFile config(path + QStringLiteral("/wrangler.jsonc"));
        config.open(QIODevice::WriteOnly);
        config.write(R"({ "name": "quiet", "main": "src/index.ts",
  "kv_namespaces": [{ "binding": "CACHE", "id": "a" }],
  "d1_databases": [{ "binding": "DB", "database_name": "main", "database_id": "b" }] })");
        config.close();
        QFile script(path + QStringLiteral("/serve.sh"));
        script.open(QIODevice::WriteOnly);
        script.write("#!/bin/sh\necho 'Ready on http://localhost:8787'\nexec sleep 100000\n");
        script.close();
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        Project project;
        project.path = path;
        project.configFile = QStringLiteral("wrangler.jsonc");
        project.name = QStringLiteral("quiet");
        project.runModeOverride = RunModeKind::custom;
        project.customCommand = script.fileName();
        project.port = 8787;
        qputenv("TALLOWMERE_SUPPORT_DIR", folder.filePath("support").toUtf8());
        QDir().mkpath(folder.filePath("support"));
        saveRegistry({{}, {project}});
        return path;
    }

    bool fail(const QString& why)
    {
        problem = why;
        return false;
    }

    ~Session()
    {
        if (app.state() != QProcess::NotRunning) {
            app.write("quit\n");
            if (!app.waitForFinished(10000))
                app.kill();
        }
    }
};

QString self;
std::unique_ptr<Session> session;

void waitInLoop(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

void measure(benchmark::State& state, const char* command)
{
    if (!session) {
        session = std::make_unique<Session>();
        if (!session->start(self)) {
            state.SkipWithError(session->problem.toStdString().c_str());
            return;
        }
    }
    session->app.write(QByteArray(command) + '\n');
    waitInLoop(settleMs);
    const qint64 pid = session->app.processId();
    const double tick = double(sysconf(_SC_CLK_TCK));
    double wakeups = 0;
    double cpu = 0;
    for (auto _ : state) {
        const Usage before = usageOf(pid);
        waitInLoop(measureSeconds * 1000);
        const Usage after = usageOf(pid);
        wakeups = double(after.switches - before.switches) / measureSeconds;
        cpu = 100.0 * double(after.ticks - before.ticks) / tick / measureSeconds;
        state.SetIterationTime(measureSeconds);
    }
    state.counters["wakeups_per_s"] = wakeups;
    state.counters["cpu_percent"] = cpu;
}

void TrayOnlyWithOneQuietServer(benchmark::State& state)
{
    measure(state, "hide");
}
void WindowMinimised(benchmark::State& state)
{
    measure(state, "minimize");
}
void WindowShownOnTheRunningProject(benchmark::State& state)
{
    measure(state, "show");
}
BENCHMARK(TrayOnlyWithOneQuietServer)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(WindowShownOnTheRunningProject)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(WindowMinimised)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && qstrcmp(argv[1], "--child") == 0)
        return runChild(argc, argv, QString::fromLocal8Bit(argv[2]));
    QCoreApplication app(argc, argv);
    self = QCoreApplication::applicationFilePath();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    session.reset();
    benchmark::Shutdown();
    return 0;
}
