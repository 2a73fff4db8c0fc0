#pragma once

#include <sys/types.h>

#include <optional>

// The user id of the process at the other end of a connected Unix socket (SO_PEERCRED), or
// none when the kernel does not tell.
std::optional<uid_t> peerUserID(int socketDescriptor);
