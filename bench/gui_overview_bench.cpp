// The Overview tab on the offscreen platform: the time to build it for a project with 40
// bindings and 30 variables (construction, layout and first paint at 1,180 x 780), the cost of
// painting its diagram at 1,180 x 780 (the whole visible area, and the connector band), and
// what fires while the window shows the project
// stopped: timer events per second and CPU time.

#include "desktop/alert_presenter.h"
#include "desktop/workspace.h"
#include "discovery/project_reader.h"
#include "model/app_model.h"
#include "presentation/binding_items.h"
#include "runs/project_runtime.h"
#include "storage/registry_file.h"
#include "support/run_state_access.h"
#include "ui/detail/overview/binding_diagram.h"
#include "ui/detail/overview/bindings_section.h"
#include "ui/detail/overview/overview_tab.h"
#include "ui/main_window.h"
#include "ui/theme/status_display.h"
#include "ui/theme/theme.h"
#include "ui/ui_context.h"
#include "ui/window_actions.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <ctime>
#include <memory>

namespace {

constexpr int bindingCount = 40;
constexpr int variableCount = 30;
const QSize frameSize(1180, 780);

class NullAlerts : public AlertPresenter
{
public:
    void show(const Alert&, Choice) override {}
};

class NullWorkspace : public Workspace
{
public:
    void openAddress(const QUrl&) override {}
    void openWithApplication(const LaunchRequest&) override {}
    void revealInFileManager(const QString&) override {}
};

// One project with 40 bindings of every kind and 30 variables, registered in a temporary
// support folder, with its inspection record applied.
struct Setup
{
    QTemporaryDir temp;
    QString path = temp.filePath(QStringLiteral("Sites/big-worker"));
    NullAlerts alerts;
    NullWorkspace workspace;
    Theme theme;
    std::unique_ptr<AppModel> model;
    std::unique_ptr<WindowActions> actions;
    std::unique_ptr<UiContext> ui;

    Setup()
    {
        qputenv("TALLOWMERE_SUPPORT_DIR", temp.filePath(QStringLiteral("support")).toUtf8());
        writeConfig();
        Project project;
        project.path = path;
        project.configFile = QStringLiteral("wrangler.jsonc");
        project.name = QStringLiteral("big-worker");
        project.rootPath = temp.filePath(QStringLiteral("Sites"));
        saveRegistry(Registry{{*project.rootPath}, {project}});
        AppModelContext context;
        model = std::make_unique<AppModel>(std::move(context));
        actions = std::make_unique<WindowActions>(*model);
        ui = std::make_unique<UiContext>(
            UiContext{*model, theme, workspace, alerts, {}, {}, {}, actions.get()});
        // The window inspects the shown project itself; the record is the same.
        model->showDemoContent(
            {model->roots(), model->projects(), {{path, inspectProject(project)}}});
    }

    // A real configuration: ten bindings each of D1, KV, R2 and services, and 30 variables.
    void writeConfig() const
    {
        QDir().mkpath(path);
        QStringList d1, kv, r2, services, vars;
        for (int i = 0; i < bindingCount / 4; ++i) {
            d1 << QStringLiteral(R"({"binding": "DB_%1", "database_name": "database-%1"})").arg(i);
            kv << QStringLiteral(R"({"binding": "KV_%1"})").arg(i);
            r2 << QStringLiteral(R"({"binding": "BUCKET_%1", "bucket_name": "bucket-%1"})").arg(i);
            services << QStringLiteral(R"({"binding": "SVC_%1", "service": "service-%1"})").arg(i);
        }
        for (int i = 0; i < variableCount; ++i)
            vars << QStringLiteral(R"("VARIABLE_%1": "value")").arg(i);
        const QString text = QStringLiteral(R"({"name": "big-worker", "main": "src/index.ts",
                "compatibility_date": "2025-06-01", "d1_databases": [%1], "kv_namespaces": [%2],
                "r2_buckets": [%3], "services": [%4], "vars": {%5}})")
                                 .arg(d1.join(u','), kv.join(u','), r2.join(u','),
                                      services.join(u','), vars.join(u','));
        QFile file(path + QStringLiteral("/wrangler.jsonc"));
        file.open(QIODevice::WriteOnly);
        file.write(text.toUtf8());
    }
};

Setup* setup = nullptr;

void OverviewBuild(benchmark::State& state)
{
    QImage canvas(frameSize, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        OverviewTab tab(*setup->ui, setup->path);
        tab.resize(frameSize);
        tab.render(&canvas);
        benchmark::DoNotOptimize(canvas.bits());
    }
}
BENCHMARK(OverviewBuild)->Unit(benchmark::kMillisecond);

// The diagram of the running project, shown (so that it animates) at 1,180 points wide. `band`:
// only the connectors' band (a hover repaints it; an animation frame only a few small squares
// in it); otherwise the whole visible 1,180 x 780 area, as after a scroll.
void DiagramFrame(benchmark::State& state, bool band)
{
    const ProjectInfo* info = setup->model->infoFor(setup->path);
    DiagramContent content;
    content.workerName = *info->workerName;
    content.entry = info->mainEntry;
    content.items = buildBindingItems(*info).items;
    content.status = ProjectStatus::running();
    content.configFile = QStringLiteral("wrangler.jsonc");
    BindingDiagram diagram(*setup->ui, [](const QString&) { return StatusDisplay(); });
    diagram.setContent(content);
    diagram.resize(frameSize.width(), diagram.contentHeight());
    diagram.show();
    if (!diagram.isAnimating()) {
        state.SkipWithError("the diagram of a running project does not animate");
        return;
    }
    QImage canvas(frameSize, QImage::Format_ARGB32_Premultiplied);
    const QRect visible(QPoint(), frameSize);
    const QRect connectors(int(diagram.workerRect().right()) - 2, 0,
                           int(diagram.cardRect(0).left() - diagram.workerRect().right()) + 5,
                           frameSize.height());
    const QRegion region(band ? connectors : visible);
    for (auto _ : state) {
        canvas.fill(Qt::transparent);
        diagram.render(&canvas, QPoint(), region, QWidget::RenderFlags());
        benchmark::DoNotOptimize(canvas.bits());
    }
}
BENCHMARK_CAPTURE(DiagramFrame, whole_area, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(DiagramFrame, connector_band, true)->Unit(benchmark::kMicrosecond);

// Counts timer events by the class of their receiver.
class TimerCounter : public QObject
{
public:
    QHash<QString, int> counts;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Timer)
            ++counts[QString::fromLatin1(watched->metaObject()->className()) + u'/' +
                     watched->objectName()];
        return false;
    }
};

double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// The main window showing the stopped project's Overview for `seconds`, with the event loop
// running. The quit timer's own event is not counted.
void IdleWindow(benchmark::State& state, const ProjectStatus& status)
{
    constexpr int seconds = 4;
    RunStateTestAccess::setStatus(*setup->model->runtimeFor(setup->path), status);
    setup->model->select(setup->path);
    MainWindow window(*setup->ui);
    window.resize(frameSize);
    window.show();
    QCoreApplication::sendPostedEvents();
    // The window's own inspection of the project comes back first.
    QEventLoop settle;
    QTimer::singleShot(1000, &settle, &QEventLoop::quit);
    settle.exec();
    int diagramTimers = 0;
    int allTimers = 0;
    double cpu = 0;
    for (auto _ : state) {
        TimerCounter counter;
        QTimer quit;
        quit.setSingleShot(true);
        quit.setObjectName(QStringLiteral("benchQuit"));
        QEventLoop loop;
        QObject::connect(&quit, &QTimer::timeout, &loop, &QEventLoop::quit);
        qApp->installEventFilter(&counter);
        const double before = processCpuSeconds();
        quit.start(seconds * 1000);
        loop.exec();
        cpu = processCpuSeconds() - before;
        qApp->removeEventFilter(&counter);
        counter.counts.remove(QStringLiteral("QTimer/benchQuit"));
        for (auto it = counter.counts.cbegin(); it != counter.counts.cend(); ++it) {
            allTimers += it.value();
            if (it.key() == QStringLiteral("QTimer/animationFrameTimer"))
                diagramTimers += it.value();
            std::printf("  %s: %d timer events in %d s\n", qPrintable(it.key()), it.value(),
                        seconds);
        }
    }
    auto* overview = window.findChild<BindingDiagram*>();
    state.counters["diagram_animating"] = overview && overview->isAnimating() ? 1 : 0;
    state.counters["diagram_timer_events_per_s"] = double(diagramTimers) / seconds;
    state.counters["timer_events_per_s"] = double(allTimers) / seconds;
    state.counters["cpu_ms_per_s"] = cpu * 1000 / seconds;
    RunStateTestAccess::setStatus(*setup->model->runtimeFor(setup->path), ProjectStatus::stopped());
}
BENCHMARK_CAPTURE(IdleWindow, stopped, ProjectStatus::stopped())
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(IdleWindow, running, ProjectStatus::running())
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    Setup shared;
    setup = &shared;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("targets: Overview build < 20 ms; one diagram frame < 4 ms offscreen; no timer "
                "firing while the shown project is stopped\n");
    return 0;
}
