#pragma once

#include "discovery/discovered_config.h"
#include "discovery/project_info.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// What one root held: every configuration found under it with its inspection record.
struct RootScanResult
{
    QString root; // as stored in the registry
    QList<QPair<DiscoveredConfig, ProjectInfo>> found;
};

// Walks every root in order and inspects each project found. A root without configurations
// still yields a result, so that the merge counts it as scanned. Blocking; call it off the
// main thread.
QList<RootScanResult> scanRoots(const QStringList& roots);
