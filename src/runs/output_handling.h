#pragma once

#include "base/run_mode.h"
#include "supervision/output_line.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class ProjectRuntime;

// The registered project that uses a port.
struct PortOwner
{
    QString id;   // the project's path
    QString name; // its display name
    friend bool operator==(const PortOwner&, const PortOwner&) = default;
};

// What the output handling needs from the application model.
struct OutputHooks
{
    // The first project in registry order, other than the one whose line is handled, whose
    // runtime is active and whose address has `port`.
    std::function<std::optional<PortOwner>(int port)> activeOwnerOfPort;
    // Stores `port` as the project's saved port and saves the registry.
    std::function<void(int port)> adoptPort;
};

// Applies one delivery of a project's dev server output to its runtime: logs the lines in one
// batch (blank lines are dropped), then examines each in order for a busy port, an
// already-running server or the ready address. Main thread only.
void handleOutputLines(ProjectRuntime& runtime, const OutputLines& lines, RunModeKind mode,
                       const OutputHooks& hooks);
// The same for a single line.
void handleOutputLine(ProjectRuntime& runtime, const QString& text, bool isError, RunModeKind mode,
                      const OutputHooks& hooks);

// Logs output lines without reading them for the run state (blank lines are dropped): the
// output that arrives after the child's exit, when the run state may belong to a newer start.
void logOutputLines(ProjectRuntime& runtime, const OutputLines& lines);

// A project as seen by the port-owner lookup.
struct PortOwnerCandidate
{
    QString id;
    QString name;
    const ProjectRuntime* runtime = nullptr;
};

// The owner lookup of `activeOwnerOfPort` over candidates in registry order.
std::optional<PortOwner> findPortOwner(const QList<PortOwnerCandidate>& candidates,
                                       const QString& selfID, int port);
