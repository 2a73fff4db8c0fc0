#include "ui/detail/start_readiness.h"

#include "base/project.h"
#include "discovery/project_info.h"

bool dependenciesReadyForStart(const Project& project, const ProjectInfo& info)
{
    switch (project.runModeOverride.value_or(info.detectedMode)) {
    case RunModeKind::wrangler:
    case RunModeKind::pages: return info.depsInstalled;
    case RunModeKind::vite:
    case RunModeKind::devScript: return info.nodeModulesPresent;
    case RunModeKind::custom: return true;
    }
    return true;
}
