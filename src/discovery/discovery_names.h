#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Wrangler configuration file names in order of preference: a lower rank wins.
const QStringList& configFileNames();
// The rank of a configuration file name (exact, case-sensitive), or none for other names.
std::optional<int> configFileRank(const QString& name);
std::optional<int> configFileRank(const char* name);

// Folders that hold dependency trees, build output, version control data or tool state:
// neither the walk nor the watcher ever goes into them, at any depth.
const QStringList& skippedDirectoryNames();
bool isSkippedDirectoryName(const QString& name);
bool isSkippedDirectoryName(const char* name);

// The walk enters a folder only when its level is at most this; the root's children are level 1.
inline constexpr int maxDescendLevel = 8;
