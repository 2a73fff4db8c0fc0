#include "runs/port_allocation.h"

#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace PortAllocation {

namespace {

// Binds a fresh socket of `family` to the wildcard address on `port` and closes it.
// Gives nothing when the family is unavailable. SO_REUSEADDR lets the bind ignore sockets
// in TIME_WAIT, which a restarting server will reuse too, while a listener still refuses it.
std::optional<bool> canBindWildcard(int family, int port)
{
    const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::nullopt;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    int result;
    if (family == AF_INET6) {
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_addr = in6addr_any;
        address.sin6_port = htons(static_cast<uint16_t>(port));
        result = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } else {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        address.sin_port = htons(static_cast<uint16_t>(port));
        result = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    }
    ::close(fd);
    return result == 0;
}

bool usable(std::optional<int> port)
{
    return port && *port != 0;
}

} // namespace

bool isPortFree(int port)
{
    if (port <= 0 || port > 65535)
        return false;
    if (canBindWildcard(AF_INET, port) == false)
        return false;
    return canBindWildcard(AF_INET6, port).value_or(true);
}

int findFreePort(int first, const QSet<int>& excluded, const PortProbe& isFree)
{
    if (first > highestPort)
        return first;
    for (int port = first; port <= highestPort; ++port) {
        if (!excluded.contains(port) && isFree(port))
            return port;
    }
    return first;
}

ChosenPorts choosePorts(const Project& project, const QList<Project>& projects,
                        std::optional<int> explicitPort, const StorePorts& store,
                        const PortProbe& isFree)
{
    QSet<int> excluded;
    for (const Project& other : projects) {
        if (other.path == project.path)
            continue;
        if (usable(other.port))
            excluded.insert(*other.port);
        if (usable(other.inspectorPort))
            excluded.insert(*other.inspectorPort);
    }

    ChosenPorts chosen;
    const bool fromRequest = usable(explicitPort);
    const std::optional<int> candidate = fromRequest ? explicitPort : project.port;
    if (usable(candidate) && (fromRequest || !excluded.contains(*candidate)) && isFree(*candidate))
        chosen.port = *candidate;
    else
        chosen.port = findFreePort(firstDevPort, excluded, isFree);

    const std::optional<int> inspector = project.inspectorPort;
    if (usable(inspector) && *inspector != chosen.port && !excluded.contains(*inspector) &&
        isFree(*inspector)) {
        chosen.inspectorPort = *inspector;
    } else {
        QSet<int> alsoDev = excluded;
        alsoDev.insert(chosen.port);
        chosen.inspectorPort = findFreePort(firstInspectorPort, alsoDev, isFree);
    }

    if (store)
        store(chosen);
    return chosen;
}

int portForMovingOff(const QList<int>& activeAddressPorts, std::optional<int> conflictPort,
                     const PortProbe& isFree)
{
    QSet<int> excluded(activeAddressPorts.cbegin(), activeAddressPorts.cend());
    if (conflictPort)
        excluded.insert(*conflictPort);
    return findFreePort(firstDevPort, excluded, isFree);
}

} // namespace PortAllocation
