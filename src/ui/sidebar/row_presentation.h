#pragma once

#include "ui/sidebar/sidebar_row.h"

#include <QUrl>

#include <optional>

class AppModel;
class ProjectRuntime;
struct Project;

// What a sidebar row shows for a project, read from the model and the project's run state.
RowContent rowContent(AppModel& model, const Project& project);
// The traffic figure of a row: the server's requests per minute while it runs.
QString rowTraffic(const ProjectRuntime& runtime);

// The row subtitle: "localhost:PORT" while running with an address that has a port,
// "Starting…", "Failed to start", else the framework label of the project; then " · " and the
// Wrangler environment the project runs with, when it has one.
QString rowSubtitle(const ProjectStatus& status, const std::optional<QUrl>& url,
                    const QString& frameworkLabel, const QString& environment = {});
