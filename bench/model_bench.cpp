// Model construction with a large registry, and the sidebar order of many projects.
#include "model/app_model.h"
#include "model/project_list.h"
#include "storage/registry_file.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// Names that share prefixes, differ in case and repeat, as real folders of sites do.
Registry registryOf(int count)
{
    static const QStringList stems{"api", "Web", "shop", "admin", "Blog", "worker", "édition"};
    Registry registry;
    registry.roots = {QStringLiteral("/home/me/Sites"), QStringLiteral("/home/me/work")};
    for (int i = 0; i < count; ++i) {
        Project project;
        project.path = QStringLiteral("/home/me/Sites/client-%1/%2").arg(i % 97).arg(i);
        project.configFile = QStringLiteral("wrangler.jsonc");
        project.name = stems[i % stems.size()] + QStringLiteral("-%1").arg(i % 211);
        project.rootPath = registry.roots[i % 2];
        project.hidden = i % 13 == 0;
        if (i % 5 == 0)
            project.favorite = true;
        if (i % 3 == 0) {
            project.port = 8787 + i;
            project.inspectorPort = 9230 + i;
        }
        registry.projects.append(project);
    }
    return registry;
}

void BM_ModelConstruction(benchmark::State& state)
{
    QTemporaryDir support;
    qputenv("TALLOWMERE_SUPPORT_DIR", support.path().toUtf8());
    saveRegistry(registryOf(int(state.range(0))));
    for (auto _ : state) {
        AppModel model(defaultAppModelContext({}));
        benchmark::DoNotOptimize(model.projects().size());
    }
    qunsetenv("TALLOWMERE_SUPPORT_DIR");
}
BENCHMARK(BM_ModelConstruction)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_VisibleProjects(benchmark::State& state)
{
    const QList<Project> projects = registryOf(int(state.range(0))).projects;
    for (auto _ : state)
        benchmark::DoNotOptimize(sortedVisibleProjects(projects, false));
}
BENCHMARK(BM_VisibleProjects)->Arg(1000)->Unit(benchmark::kMicrosecond);

// What the sidebar pays on every change: the model keeps its collation keys between calls.
void BM_ModelVisibleProjects(benchmark::State& state)
{
    QTemporaryDir support;
    qputenv("TALLOWMERE_SUPPORT_DIR", support.path().toUtf8());
    saveRegistry(registryOf(int(state.range(0))));
    AppModel model(defaultAppModelContext({}));
    for (auto _ : state)
        benchmark::DoNotOptimize(model.visibleProjects());
    qunsetenv("TALLOWMERE_SUPPORT_DIR");
}
BENCHMARK(BM_ModelVisibleProjects)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_DisplayNamesOfAll(benchmark::State& state)
{
    const QList<Project> projects = registryOf(int(state.range(0))).projects;
    for (auto _ : state)
        for (const Project& project : projects)
            benchmark::DoNotOptimize(displayNameAmong(project, projects));
}
BENCHMARK(BM_DisplayNamesOfAll)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
