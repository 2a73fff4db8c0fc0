#pragma once

#include "runs/project_runtime.h"

// Puts a run state into any state at once, for views and steps under test that start from a
// server in some state rather than walk its events. Each call is one transition: it assigns,
// then notifies like the run state's own events.
struct RunStateTestAccess
{
    static void setStatus(ProjectRuntime& run, const ProjectStatus& value)
    {
        run.setStatus(value);
        run.notify();
    }
    static void setUrl(ProjectRuntime& run, const std::optional<QUrl>& value)
    {
        run.setUrl(value);
        run.notify();
    }
    static void setPid(ProjectRuntime& run, std::optional<qint32> value)
    {
        run.setPid(value);
        run.notify();
    }
    static void setManaged(ProjectRuntime& run, bool value)
    {
        run.setManaged(value);
        run.notify();
    }
    static void setExternal(ProjectRuntime& run, bool value)
    {
        run.setExternal(value);
        run.notify();
    }
    static void setExternalPIDs(ProjectRuntime& run, const QList<qint32>& value)
    {
        run.setExternalPIDs(value);
        run.notify();
    }
    static void setMemoryBytes(ProjectRuntime& run, std::optional<quint64> value)
    {
        run.setMemoryBytes(value);
        run.notify();
    }
    static void setAttachedPID(ProjectRuntime& run, std::optional<qint32> value)
    {
        run.setAttachedPID(value);
        run.notify();
    }
    static void setPortConflict(ProjectRuntime& run, const std::optional<PortConflict>& value)
    {
        run.setPortConflict(value);
        run.notify();
    }
};
