#pragma once

#include "base/project.h"
#include "runs/project_status.h"
#include "runs/traffic_stats.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>

#include <functional>

class AppModel;
class ProjectRuntime;

// The status as the protocol names it: "stopped", "starting", "running" or "error".
QString statusName(ProjectStatus::Kind kind);

// The visible projects in the order the sidebar shows them: favourites, then running (or
// starting) ones, then the rest, each group in the model's sidebar order.
QList<Project> sidebarOrder(AppModel& model);

// The display name of every project by path, in one pass: the model's rule asked only for the
// names that are shared (asking for each would compare every name with every other).
QHash<QString, QString> displayNames(const QList<Project>& projects);

// One project as `status` reports it, under `displayName`, as JSON text appended to `out`.
// Optional fields are left out, never null.
void appendStatusEntry(QByteArray& out, AppModel& model, const Project& project,
                       const QString& displayName);
// The same as an object.
QJsonObject statusEntry(AppModel& model, const Project& project, const QString& displayName);

// The "traffic" object of a running project: requests and errors of the window, its
// percentiles when it saw requests, and the window's length.
QByteArray trafficText(const TrafficSummary& traffic);

// The pid shown for a project: its shell when started here, else the server found elsewhere.
std::optional<qint32> shownPID(const ProjectRuntime& runtime);

// Builds the whole status (a JSON array as text) on the main thread, after measuring the
// memory and processor share of every active server in the background; `done` runs on
// `context`'s thread, never once `context` is gone.
void buildStatus(AppModel& model, QObject* context, std::function<void(QByteArray)> done);
