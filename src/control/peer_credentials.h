#pragma once

#include <optional>
#include <sys/types.h>

// The user id of the process at the other end of a connected Unix socket (SO_PEERCRED), or
// none when the kernel does not tell.
std::optional<uid_t> peerUserID(int socketDescriptor);
