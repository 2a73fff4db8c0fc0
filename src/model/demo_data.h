#pragma once

#include "base/project.h"
#include "discovery/dev_registry.h"
#include "discovery/project_info.h"
#include "model/detail_tab.h"
#include "runs/project_status.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

class AppModel;
class ServerActivity;

// The made-up projects of demo mode: realistic content for showing and photographing the
// interface without touching the user's files or processes.
namespace DemoData {

struct Entry
{
    QString name;
    QString folder; // begins with "~/Sites/"
    ProjectStatus status;
    std::optional<int> port;
    RunModeKind mode = RunModeKind::wrangler;
    std::optional<QString> framework;
    std::optional<QString> cms;
    std::optional<QString> pages; // Pages output folder
    std::optional<QString> entry; // main module
    QString wrangler = QStringLiteral("4.147.0");
    QList<WorkerBinding> bindings;
    QStringList vars;
    double memoryMB = 0;
    double cpuPercent = 0; // of a running one
    QString config = QStringLiteral("wrangler.jsonc");
    QString date = QStringLiteral("2026-07-11");
    PackageManager pm = PackageManager::npm;
    QList<EnvironmentConfig> environments; // the configuration's named environments
    std::optional<QString> environment;    // the one chosen
};

// The ten entries, in their fixed order.
const QList<Entry>& entries();

// The log lines of an entry: the full sample log of aurora-api, two lines for the others.
QStringList logLines(const Entry& entry);

// `folder` with "~" replaced by `home`.
QString expandedPath(const Entry& entry, const QString& home);
bool isFavorite(const Entry& entry);
Project project(const Entry& entry, const QString& home);
ProjectInfo info(const Entry& entry, const QString& home);

// Feeds `activity` a made-up hour of requests ending now, about `perMinute` a minute; with
// `failRecently`, two of the last five minutes fail.
void showTraffic(ServerActivity& activity, int perMinute, quint32 seed, bool failRecently);

// Gives `activity` two processor samples ten seconds apart that make `percent` of one core.
void showCpu(ServerActivity& activity, double percent);

// The Workers the demo's dev registry lists as live.
QList<DevRegistryEntry> registryEntries();

// TALLOWMERE_DEMO_TAB: first letter upper-cased, the rest lower-cased, matched against the tab
// titles ("logs" and "LOGS" both open the Logs tab); none when it matches no tab.
std::optional<DetailTab> tabFromVariable(const QString& value);

} // namespace DemoData

// Fills the model with the demo projects, their inspection records, run states, logs, an hour of
// requests for two running servers and the port conflict of orbit-queue, and selects the initial
// project and tab. Reads TALLOWMERE_DEMO_TAB and TALLOWMERE_DEMO_PROJECT from `environment`. Writes
// no file and looks at no process. `home` replaces "~" in the demo folders.
void loadDemo(AppModel& model, const QMap<QString, QString>& environment, const QString& home);
