#pragma once

#include "control/instance_lock.h"

#include <chrono>
#include <memory>
#include <optional>

// What a launch of the application found about its support folder's instance.
struct LaunchClaim
{
    // Held: this process is the instance and should listen at the address's socket.
    std::unique_ptr<InstanceLock> lock;
    // Set: another process is the instance; this launch ends with the code (0 once the request
    // was handed over, 1 when the instance did not answer).
    std::optional<int> exitCode;
};

// Takes the instance lock of `address`, or hands the launch over to the process holding it:
// asks it to bring its window to the front (unless `showWindow` is false, as for a launch at
// login) and returns its exit code. The holder may still be starting up, so its socket is
// tried for up to `patience`. A lock that cannot be taken at all (an unwritable folder) is
// reported on standard error and the launch goes on without it.
LaunchClaim claimLaunch(const InstanceAddress& address, bool showWindow,
                        std::chrono::milliseconds patience = std::chrono::seconds(10));
