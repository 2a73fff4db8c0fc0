// Cost of the data files: encoding the written form, decoding, and a whole atomic save (which
// includes flushing to disk, so it mostly measures the disk).
#include "storage/json_writer.h"
#include "storage/registry_file.h"
#include "storage/storage.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

Registry registryOf(int projects)
{
    Registry registry;
    registry.roots = {QStringLiteral("/home/me/Sites"), QStringLiteral("/home/me/work")};
    for (int i = 0; i < projects; ++i) {
        Project project;
        project.path = QStringLiteral("/home/me/Sites/project-%1").arg(i);
        project.configFile = QStringLiteral("wrangler.jsonc");
        project.name = QStringLiteral("project-%1").arg(i);
        project.rootPath = registry.roots.first();
        project.hidden = i % 7 == 0;
        if (i % 3 == 0)
            project.port = 8787 + i;
        if (i % 5 == 0)
            project.runModeOverride = RunModeKind::vite;
        registry.projects.append(project);
    }
    return registry;
}

void BM_EncodeRegistry(benchmark::State& state)
{
    const Registry registry = registryOf(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(encodeDataFileJson(encodeRegistry(registry)));
}
BENCHMARK(BM_EncodeRegistry)->Arg(10)->Arg(200)->Unit(benchmark::kMicrosecond);

void BM_DecodeRegistry(benchmark::State& state)
{
    const QByteArray written = encodeDataFileJson(encodeRegistry(registryOf(int(state.range(0)))));
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeRegistry(written));
    state.SetLabel(std::to_string(written.size()) + " bytes");
}
BENCHMARK(BM_DecodeRegistry)->Arg(10)->Arg(200)->Unit(benchmark::kMicrosecond);

void BM_SaveRegistry(benchmark::State& state)
{
    QTemporaryDir dir;
    qputenv("TALLOWMERE_SUPPORT_DIR", dir.path().toUtf8());
    const Registry registry = registryOf(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(saveRegistry(registry));
    qunsetenv("TALLOWMERE_SUPPORT_DIR");
}
BENCHMARK(BM_SaveRegistry)->Arg(10)->Arg(200)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
