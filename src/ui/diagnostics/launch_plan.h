#pragma once

#include "desktop/application_presence.h"

#include <QMap>
#include <QSize>
#include <QString>

#include <optional>

// What the diagnostic variables ask of this launch, read once from the environment, in the
// order the checks apply.
struct LaunchPlan
{
    // XCTestConfigurationFilePath: an inert launch (no window, the model is not launched).
    bool inert = false;
    // TALLOWMERE_DEBUG_ICON: export the icon into this folder and exit.
    std::optional<QString> iconFolder;
    // The taskbar policy the checks force, if any (snapshot and start-and-report runs).
    std::optional<TaskbarPolicy> policy;
    // TALLOWMERE_WIDTH: the main window's content width, applied 1.5 s after launch.
    std::optional<int> windowWidth;
    // Launched at login (the --autostart argument): no window opens.
    bool autostart = false;
    // TALLOWMERE_DEBUG_CRASH ("segv" or "terminate"): for tests of what a crash leaves behind,
    // SIGUSR1 makes the event loop crash that way.
    std::optional<QString> crashOnSignal;

    static LaunchPlan fromEnvironment(const QMap<QString, QString>& environment);
};

// The diagnostics after start-up.
struct DiagnosticsPlan
{
    std::optional<QString> addRoot; // TALLOWMERE_DEBUG_ADD_ROOT
    // Start-and-report: the project name and the report file (both must be present).
    std::optional<QString> startProject;
    std::optional<QString> reportFile;
    // Screenshot run: the folder (when present), scheme, project, whether to start it, size.
    std::optional<QString> snapshotFolder;
    bool dark = false;
    QString snapshotProject;
    bool attach = false;
    QSize snapshotSize{1180, 780};

    static DiagnosticsPlan fromEnvironment(const QMap<QString, QString>& environment);
    bool startAndReport() const { return startProject && reportFile; }
};

// "W" "x" "H" as two decimal numbers; none for anything else.
std::optional<QSize> parseSize(const QString& text);
