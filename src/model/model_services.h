#pragma once

#include "base/app_settings.h"
#include "base/project.h"
#include "discovery/project_info.h"
#include "discovery/scan_roots.h"
#include "storage/running_record.h"

#include <QList>
#include <QPair>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class ProcessTable;

// What the model keeps on disk and finds on the system, handed in with its context. The
// running application's services read and write the support folder, look at the process table
// and read the project folders; demo mode's store nothing and find nothing, so that the
// made-up content stays as shown. Each function may be called from a background task except
// the storing ones, which run on the main thread.
struct ModelServices
{
    std::function<std::optional<Registry>()> loadRegistry;
    std::function<void(const Registry&)> saveRegistry;
    std::function<std::optional<AppSettings>()> loadSettings;
    std::function<void(const AppSettings&)> saveSettings;
    std::function<QList<RunningRecord>()> loadRunningRecords;
    std::function<void(const QList<RunningRecord>&)> saveRunningRecords;
    // A view of the process table (a new one per look).
    std::function<std::unique_ptr<ProcessTable>()> processTable;
    // Walks the roots for configurations; inspects projects.
    std::function<QList<RootScanResult>(const QStringList& roots)> scanRoots;
    std::function<QList<QPair<QString, ProjectInfo>>(const QList<Project>& projects)>
        inspectProjects;
};

// The support folder, /proc and the project folders on disk.
ModelServices systemServices();
// Nothing stored, no process found, no folder read.
ModelServices demoServices();
