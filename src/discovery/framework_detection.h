#pragma once

#include "discovery/folder_cache.h"
#include "discovery/project_info.h"

#include <QString>
#include <QStringList>

#include <optional>

// A folder entry whose name starts with `prefix` marks the framework. Earlier rows win.
struct FrameworkMarker
{
    QString prefix;
    QString framework;
};
const QList<FrameworkMarker>& frameworkMarkers();

// Vite configuration file names, in the order they are read.
const QStringList& viteConfigNames();

// Each detection comes in two forms: on its own, and sharing the folders of one inspection.

// The first framework marked in the folders, in folder order then marker order.
std::optional<QString> detectFramework(const QStringList& folders);
std::optional<QString> detectFramework(FolderCache& files, const QStringList& folders);
// "EmDash" when a folder's package depends on it, has it installed or its Astro configuration
// uses its integration; absent otherwise.
std::optional<QString> detectCms(const QStringList& folders);
std::optional<QString> detectCms(FolderCache& files, const QStringList& folders);
// The default run mode from what inspection found so far and the folders' Vite configuration.
RunModeKind detectMode(const ProjectInfo& info, const QStringList& folders);
RunModeKind detectMode(FolderCache& files, const ProjectInfo& info, const QStringList& folders);
