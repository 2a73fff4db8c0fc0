#pragma once

#include "model/project_list.h"
#include "runs/project_status.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

class AppModel;

// One project's submenu of the tray menu.
struct TrayProjectEntry
{
    QString path;
    // Glyph, two spaces, the name, and "  :port" when a port is known.
    QString title;
    // Starting or running: the submenu offers "Stop" and "Restart", else "Start".
    bool active = false;
    // Its start order holds other registered projects: "Start with Local Services" is offered.
    bool hasLocalServices = false;
    // The links other than the default one, each opened on the running address.
    QList<ProjectLink> links;

    friend bool operator==(const TrayProjectEntry&, const TrayProjectEntry&) = default;
};

// What the tray menu shows above its fixed entries: the sidebar's groups (favourites, running,
// the rest), each in the sidebar's order, without the empty ones. No group at all means
// "No projects yet".
struct TrayMenuContent
{
    QList<QList<TrayProjectEntry>> groups;

    friend bool operator==(const TrayMenuContent&, const TrayMenuContent&) = default;
};

// Reads the model's current state (visible projects, run states, links). Creates the run
// states it reads, like every view.
TrayMenuContent trayMenuContent(AppModel& model);

// "●" running, "◐" starting, "○" stopped or failed; then two spaces and the name; then, when a
// port is known, two spaces, ":" and the port. The port is the address's, else (starting or
// running) the configured one.
QString trayProjectTitle(const QString& name, const ProjectStatus& status,
                         const std::optional<QUrl>& address, std::optional<int> configuredPort);
