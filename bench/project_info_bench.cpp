// Inspection of every project of the generated tree, as inspectAll does at start-up.

#include "bench_report.h"
#include "bench_tree.h"
#include "discovery/project_reader.h"
#include "discovery/root_scan.h"

#include <QList>

#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

QList<Project> benchProjects()
{
    QList<Project> projects;
    for (const std::string& folder : bench_tree::projectFolders()) {
        Project project;
        project.path = QString::fromStdString(folder);
        project.configFile = findConfig(project.path).value_or(DiscoveredConfig{}).file;
        projects.append(project);
    }
    return projects;
}

void BM_InspectAll(benchmark::State& state)
{
    const QList<Project> projects = benchProjects();
    int installed = 0;
    for (auto _ : state) {
        installed = 0;
        for (const Project& project : projects)
            installed += inspectProject(project).depsInstalled ? 1 : 0;
    }
    if (installed != bench_tree::projectCount)
        state.SkipWithError("unexpected inspection results");
    state.counters["projects"] = double(projects.size());
}

} // namespace

BENCHMARK(BM_InspectAll)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    bench_tree::ensure();
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\ninspect all %d projects, warm: %.1f ms  (target < 100 ms)\n",
                bench_tree::projectCount, reporter.ms("BM_InspectAll"));
    benchmark::Shutdown();
    return 0;
}
