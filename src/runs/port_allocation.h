#pragma once

#include "base/project.h"

#include <QList>
#include <QSet>

#include <functional>
#include <optional>

// Chooses the TCP ports of Wrangler dev servers: the HTTP port and the inspector port. Ports
// are probed by binding a socket, not by asking other processes.
namespace PortAllocation {

inline constexpr int firstDevPort = 8787;
inline constexpr int firstInspectorPort = 9230;
inline constexpr int highestPort = 65534;

// Whether both the IPv4 and the IPv6 wildcard address can be bound on `port`. A listener on
// the port makes it busy; connections of a server that just stopped (TIME_WAIT) do not.
bool isPortFree(int port);

using PortProbe = std::function<bool(int port)>;

// The first port from `first` up to 65534 that is not excluded and free; `first` itself when
// none qualifies (the start then reports the busy port) or when it is above 65534.
int findFreePort(int first, const QSet<int>& excluded, const PortProbe& isFree = &isPortFree);

struct ChosenPorts
{
    int port = 0;
    int inspectorPort = 0;
    friend bool operator==(const ChosenPorts&, const ChosenPorts&) = default;
};

// Stores the chosen ports in the project's record and saves the registry.
using StorePorts = std::function<void(const ChosenPorts&)>;

// The dev and inspector ports for a start of `project`: the explicit port of the request or
// the saved port when free (a saved one also must not be saved by another project), else the
// first free port from 8787; the saved inspector port under the same rules and never equal to
// the dev port, else the first free port from 9230. `projects` is the registry (this project
// included). Both ports go to `store` before they are returned.
ChosenPorts choosePorts(const Project& project, const QList<Project>& projects,
                        std::optional<int> explicitPort, const StorePorts& store,
                        const PortProbe& isFree = &isPortFree);

// The port to restart a project on after its port was reported taken: the first free one
// from 8787 that no active project's address uses and that is not the conflicting port.
int portForMovingOff(const QList<int>& activeAddressPorts, std::optional<int> conflictPort,
                     const PortProbe& isFree = &isPortFree);

} // namespace PortAllocation
