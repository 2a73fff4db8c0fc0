#pragma once

#include "discovery/discovered_config.h"
#include "discovery/project_info.h"

#include <QJsonObject>

// JSON forms printed by the command-line entry. Fields keep their own names; optional fields
// are omitted when absent, never written as null.
QJsonObject toJson(const ProjectInfo& info);
QJsonObject toJson(const WorkerBinding& binding);
QJsonObject toJson(const EnvironmentConfig& environment);
QJsonObject toJson(const DiscoveredConfig& config);
