// Memory of the application around one look at the Local Explorer, with 200 registered
// projects, under a real X server (Xvfb, the xcb platform) and on the offscreen platform:
// - idle_rss_MB: the idle application before any web view;
// - explorer_rss_MB: while the Explorer tab shows a running project's page (5 s after it
//   painted), with the web engine processes alive then (engine_processes);
// - left_engine_processes, left_renderers, left_rss_MB: 5 s after the Overview tab replaced
//   the Explorer (left_trimmed_rss_MB: the same after malloc_trim, which returns freed heap);
// - the iteration time: from choosing the Explorer tab to the first painted page.
// The resident memory of the helper processes is not included in the application's figures;
// explorer_helpers_rss_MB adds theirs while the page is shown.
//
// The page comes from a real Wrangler 4.86.0 serving a small Worker when the tests' cached
// installation exists (see tests/support/wrangler_install.h), else from a static page served
// by python3 (printed as "server: ...").
//
// Each iteration starts this program again as a child ("--child"), so every figure is that of
// a fresh application.

#include "../tests/ui/support/engine_processes.h"
#include "model/app_model.h"
#include "runs/project_runtime.h"
#include "storage/registry_file.h"
#include "supervision/shell_environment.h"
#include "support/run_state_access.h"
#include "ui/app_shell.h"
#include "ui/explorer/explorer_pages.h"
#include "ui/explorer/explorer_tab.h"
#include "ui/explorer/web_engine_setup.h"
#include "ui/main_window.h"
#include "ui/webview/explorer_web_view.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStyleFactory>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <csignal>
#include <cstdio>
#include <malloc.h>
#include <unistd.h>

namespace {

constexpr int projectCount = 200;
constexpr int settleMs = 5000;

qint64 residentBytes(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
    return 0;
}

// The resident memory of the web engine's helper processes below `pid`.
qint64 helperBytes(qint64 pid)
{
    qint64 total = 0;
    for (const QString& name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile cmdline(QStringLiteral("/proc/") + name + QStringLiteral("/cmdline"));
        if (!cmdline.open(QIODevice::ReadOnly) || !cmdline.readAll().contains("QtWebEngineProcess"))
            continue;
        // Only descendants count: walk the parents up.
        qint64 up = name.toLongLong();
        for (int depth = 0; depth < 8 && up > 1; ++depth) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(up));
            if (!stat.open(QIODevice::ReadOnly))
                break;
            const QByteArray line = stat.readAll();
            up = line.mid(line.lastIndexOf(')') + 2).split(' ').value(1).toLongLong();
            if (up == pid) {
                total += residentBytes(name.toLongLong());
                break;
            }
        }
    }
    return total;
}

void report(const char* key, double value)
{
    std::printf("%s %.3f\n", key, value);
    std::fflush(stdout);
}

double megabytes(qint64 bytes)
{
    return double(bytes) / 1048576.0;
}

// Whether the picture holds more than one colour: the page has drawn something.
bool painted(const QImage& image)
{
    if (image.isNull())
        return false;
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4)
            if (image.pixel(x, y) != first)
                return true;
    return false;
}

int runChild(int argc, char** argv)
{
    const QString projectPath = qEnvironmentVariable("BENCH_EXPLORER_PROJECT");
    const QUrl server(qEnvironmentVariable("BENCH_EXPLORER_SERVER"));
    prepareWebEngineProcess();
    QApplication app(argc, argv);
    setDefaultExplorerPages(&ExplorerWebView::create);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    AppShell shell(ShellEnvironment::processEnvironment(), LaunchPlan{});
    shell.start();
    AppModel& model = shell.model();
    const qint64 self = ::getpid();

    QElapsedTimer clock;
    auto* poll = new QTimer(&app);
    poll->setInterval(20);
    const auto leave = [&] {
        model.setSelectedTab(DetailTab::overview);
        QTimer::singleShot(settleMs, &app, [&] {
            const QStringList helpers = webEngineProcesses();
            report("left_engine_processes", helpers.size());
            report("left_renderers", helpers.count(QStringLiteral("renderer")));
            const qint64 left = residentBytes(self);
            // How much of that is freed heap that glibc has not returned yet.
            malloc_trim(0);
            report("left_trimmed_rss", megabytes(residentBytes(self)));
            report("left_rss", megabytes(left));
            QCoreApplication::exit(0);
        });
    };
    QObject::connect(poll, &QTimer::timeout, &app, [&] {
        auto* tab = shell.mainWindow()->findChild<ExplorerTab*>();
        auto* view = tab ? qobject_cast<ExplorerWebView*>(tab->page()) : nullptr;
        if (!view || !view->isLoaded() || !painted(view->grab().toImage()))
            return;
        poll->stop();
        report("first_paint_ms", double(clock.nsecsElapsed()) / 1e6);
        QTimer::singleShot(settleMs, &app, [&] {
            report("explorer_rss", megabytes(residentBytes(self)));
            report("explorer_helpers_rss", megabytes(helperBytes(self)));
            report("engine_processes", webEngineProcesses().size());
            leave();
        });
    });
    const auto showExplorer = [&] {
        report("idle_rss", megabytes(residentBytes(self)));
        ProjectRuntime* runtime = model.runtimeFor(projectPath);
        RunStateTestAccess::setStatus(*runtime, ProjectStatus::running());
        RunStateTestAccess::setUrl(*runtime, server);
        model.select(projectPath);
        clock.start();
        model.setSelectedTab(DetailTab::explorer);
        poll->start();
    };
    QObject::connect(&model, &AppModel::bootstrapFinished, &app,
                     [&] { QTimer::singleShot(3000, &app, showExplorer); });
    QTimer::singleShot(120000, &app, [] { QCoreApplication::exit(3); });
    return app.exec();
}

// ---- The parent: the data, the page server, the X server ----

QString self;
QString supportDir;
QString explorerProject;
QUrl serverAddress;

int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

void writeRegistry(const QString& base)
{
    Registry registry;
    const QString root = base + QStringLiteral("/Sites");
    registry.roots = {root};
    for (int i = 0; i < projectCount; ++i) {
        const QString name = QStringLiteral("project-%1").arg(i, 3, 10, QLatin1Char('0'));
        const QString folder = root + u'/' + name;
        QDir().mkpath(folder);
        QFile config(folder + QStringLiteral("/wrangler.jsonc"));
        config.open(QIODevice::WriteOnly);
        config.write("{ \"name\": \"" + name.toUtf8() + "\", \"main\": \"src/index.ts\" }");
        Project project;
        project.path = folder;
        project.configFile = QStringLiteral("wrangler.jsonc");
        project.name = name;
        project.rootPath = root;
        registry.projects.append(project);
    }
    // The last project is the one whose Explorer is shown.
    explorerProject = registry.projects.last().path;
    saveRegistry(registry);
}

// A process of its own group, ended with its whole group.
struct Server
{
    QProcess process;
    QString description;

    ~Server()
    {
        if (process.processId() > 0)
            ::killpg(pid_t(process.processId()), SIGTERM);
        process.waitForFinished(5000);
        if (process.processId() > 0)
            ::killpg(pid_t(process.processId()), SIGKILL);
        process.waitForFinished(2000);
    }
    void start(const QString& program, const QStringList& arguments, const QString& folder)
    {
        process.setWorkingDirectory(folder);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setChildProcessModifier([] { ::setpgid(0, 0); });
        process.start(program, arguments);
        process.waitForStarted();
    }
};

bool answers(const QUrl& address)
{
    QProcess curl;
    curl.start(QStringLiteral("curl"), {QStringLiteral("-sf"), QStringLiteral("-o"),
                                        QStringLiteral("/dev/null"), address.toString()});
    return curl.waitForFinished(10000) && curl.exitCode() == 0;
}

// Starts the page server: real Wrangler with the tests' fixture Worker when it is installed,
// else python3 serving a static page at the same path.
void startServer(Server& server, const QString& base)
{
    const int port = freePort();
    serverAddress = QUrl(QStringLiteral("http://localhost:%1").arg(port));
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty())
        cache = QDir::homePath() + QStringLiteral("/.cache");
    const QString wrangler = cache + QStringLiteral("/tallowmere-tests/wrangler-4.86.0");
    const QString fixture =
        QStringLiteral(TALLOWMERE_SOURCE_DIR "/tests/ui/fixtures/explorer-worker");
    if (QFileInfo::exists(wrangler + QStringLiteral("/node_modules/.bin/wrangler"))) {
        const QString folder = base + QStringLiteral("/explorer-worker");
        QDir().mkpath(folder + QStringLiteral("/src"));
        for (const char* file : {"wrangler.jsonc", "package.json", "src/index.js"})
            QFile::copy(fixture + u'/' + QLatin1String(file), folder + u'/' + QLatin1String(file));
        QFile::link(wrangler + QStringLiteral("/node_modules"),
                    folder + QStringLiteral("/node_modules"));
        server.start(folder + QStringLiteral("/node_modules/.bin/wrangler"),
                     {QStringLiteral("dev"), QStringLiteral("--port"), QString::number(port),
                      QStringLiteral("--inspector-port"), QString::number(freePort())},
                     folder);
        server.description = QStringLiteral("Wrangler 4.86.0");
    } else {
        const QString folder = base + QStringLiteral("/static");
        QDir().mkpath(folder + QStringLiteral("/cdn-cgi/explorer"));
        QFile page(folder + QStringLiteral("/cdn-cgi/explorer/index.html"));
        page.open(QIODevice::WriteOnly);
        page.write("<!doctype html><title>Explorer</title><body style='background:#fff'>"
                   "<h1>Local Explorer</h1><p>A static stand-in page.</p></body>");
        page.close();
        server.start(QStringLiteral("python3"),
                     {QStringLiteral("-m"), QStringLiteral("http.server"), QString::number(port),
                      QStringLiteral("--bind"), QStringLiteral("127.0.0.1")},
                     folder);
        serverAddress = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port));
        server.description = QStringLiteral("a static page (python3)");
    }
    for (int i = 0; i < 600 && !answers(serverAddress); ++i)
        QThread::msleep(100);
}

// Xvfb on a display it chooses itself; the display name, or empty when it did not start.
QString startXvfb(QProcess& xvfb)
{
    xvfb.start(QStringLiteral("Xvfb"),
               {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                QStringLiteral("0"), QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"),
                QStringLiteral("tcp")});
    if (!xvfb.waitForReadyRead(10000))
        return {};
    return u':' + QString::fromLatin1(xvfb.readLine().trimmed());
}

void ExplorerMemory(benchmark::State& state, const char* platform)
{
    QProcess xvfb;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (qstrcmp(platform, "xcb") == 0) {
        const QString display = startXvfb(xvfb);
        if (display.isEmpty()) {
            state.SkipWithError("Xvfb did not start");
            return;
        }
        environment.insert(QStringLiteral("DISPLAY"), display);
    }
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QLatin1String(platform));
    environment.insert(QStringLiteral("TALLOWMERE_SUPPORT_DIR"), supportDir);
    environment.insert(QStringLiteral("BENCH_EXPLORER_PROJECT"), explorerProject);
    environment.insert(QStringLiteral("BENCH_EXPLORER_SERVER"), serverAddress.toString());

    QMap<QString, double> figures;
    for (auto _ : state) {
        QProcess child;
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(self, {QStringLiteral("--child")});
        while (child.waitForReadyRead(130000) || child.canReadLine()) {
            while (child.canReadLine()) {
                const QList<QByteArray> parts = child.readLine().trimmed().split(' ');
                if (parts.size() == 2)
                    figures.insert(QString::fromLatin1(parts[0]), parts[1].toDouble());
            }
            if (figures.contains(QStringLiteral("left_rss")))
                break;
        }
        child.waitForFinished(10000);
        if (!figures.contains(QStringLiteral("left_rss"))) {
            state.SkipWithError("the child did not show the Explorer and leave it");
            break;
        }
        state.SetIterationTime(figures.value(QStringLiteral("first_paint_ms")) / 1000.0);
    }
    for (auto it = figures.cbegin(); it != figures.cend(); ++it) {
        if (it.key() == QStringLiteral("first_paint_ms"))
            continue;
        const QString name =
            it.key().endsWith(QStringLiteral("rss")) ? it.key() + QStringLiteral("_MB") : it.key();
        state.counters[name.toStdString()] = it.value();
    }
    if (xvfb.state() != QProcess::NotRunning) {
        xvfb.terminate();
        xvfb.waitForFinished(5000);
    }
}
BENCHMARK_CAPTURE(ExplorerMemory, xvfb, "xcb")
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ExplorerMemory, offscreen, "offscreen")
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

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
    Server server;
    startServer(server, temp.path());
    std::printf("server: %s at %s\n", qPrintable(server.description),
                qPrintable(serverAddress.toString()));

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("targets: idle resident memory no higher than 119 MB under Xvfb and 65 MB "
                "offscreen (%d projects); 0 web engine processes 5 s after the tab is left\n",
                projectCount);
    return 0;
}
