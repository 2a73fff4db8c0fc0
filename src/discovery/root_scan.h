#pragma once

#include "discovery/discovered_config.h"

#include <QList>
#include <QString>

#include <optional>

// Walks one root and returns at most one configuration per folder (the best-ranked name),
// sorted by folder. A missing or unreadable root gives the empty list. Safe on any thread.
QList<DiscoveredConfig> scanRoot(const QString& root);

// Looks for a configuration file directly in one folder, best rank first (no walk).
std::optional<DiscoveredConfig> findConfig(const QString& folder);
