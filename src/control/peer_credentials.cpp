#include "control/peer_credentials.h"

#include <sys/socket.h>

std::optional<uid_t> peerUserID(int socketDescriptor)
{
    struct ucred credentials = {};
    socklen_t length = sizeof credentials;
    if (::getsockopt(socketDescriptor, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
        length != sizeof credentials)
        return std::nullopt;
    return credentials.uid;
}
