#pragma once

#include "supervision/spawn_error.h"

#include <QtGlobal>

#include <optional>

// The result of a start: the pid of the child shell (also its process-group id), or why it
// could not be started.
struct StartResult
{
    std::optional<qint32> pid;
    std::optional<SpawnError> error;

    bool ok() const { return pid.has_value(); }
};
