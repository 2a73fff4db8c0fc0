#include "model/model_services.h"

#include "discovery/project_reader.h"
#include "storage/registry_file.h"
#include "storage/settings_file.h"
#include "supervision/external/proc_process_table.h"
#include "supervision/external/process_table.h"

namespace {

// A process table that holds no process.
class NoProcesses : public ProcessTable
{
public:
    QList<qint32> listAllPIDs() const override { return {}; }
    QString name(qint32) const override { return {}; }
    std::optional<ProcessInfo> info(qint32) const override { return std::nullopt; }
    std::optional<qint32> processGroup(qint32) const override { return std::nullopt; }
    std::optional<quint64> residentBytes(qint32) const override { return std::nullopt; }
    std::optional<ProcessUsage> usage(qint32) const override { return std::nullopt; }
    QString workingFolder(qint32) const override { return {}; }
    QList<int> listeningPorts(qint32) const override { return {}; }
    int temporaryPortFloor() const override { return 32768; }
};

} // namespace

ModelServices systemServices()
{
    ModelServices services;
    services.loadRegistry = [] { return ::loadRegistry(); };
    services.saveRegistry = [](const Registry& registry) { ::saveRegistry(registry); };
    services.loadSettings = [] { return ::loadSettings(); };
    services.saveSettings = [](const AppSettings& settings) { ::saveSettings(settings); };
    services.loadRunningRecords = [] { return ::loadRunningRecords(); };
    services.saveRunningRecords = [](const QList<RunningRecord>& records) {
        ::saveRunningRecords(records);
    };
    // The refresh of a server's memory estimates its big processes' proportional sizes
    // between readings (see ProportionalMemoryCache) instead of reading them every time.
    services.processTable = [] {
        return std::make_unique<ProcProcessTable>(QByteArrayLiteral("/proc"),
                                                  &ProportionalMemoryCache::shared());
    };
    services.scanRoots = [](const QStringList& roots) { return ::scanRoots(roots); };
    services.inspectProjects = [](const QList<Project>& projects) {
        return ::inspectProjects(projects);
    };
    return services;
}

ModelServices demoServices()
{
    ModelServices services;
    // What is stored is read as usual (the demo's content replaces the registry's once shown)
    // and never written.
    services.loadRegistry = [] { return ::loadRegistry(); };
    services.saveRegistry = [](const Registry&) {};
    services.loadSettings = [] { return ::loadSettings(); };
    services.saveSettings = [](const AppSettings&) {};
    services.loadRunningRecords = [] { return QList<RunningRecord>(); };
    services.saveRunningRecords = [](const QList<RunningRecord>&) {};
    services.processTable = [] { return std::make_unique<NoProcesses>(); };
    services.scanRoots = [](const QStringList&) { return QList<RootScanResult>(); };
    services.inspectProjects = [](const QList<Project>&) {
        return QList<QPair<QString, ProjectInfo>>();
    };
    return services;
}
