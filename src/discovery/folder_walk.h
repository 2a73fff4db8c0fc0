#pragma once

#include <functional>
#include <string>

// The pruned walk shared by root scanning and the root watcher. It enters the start folder
// (following it if it is a symbolic link) and every folder below whose name is not a skipped
// name and whose level is at most maxDescendLevel. Symbolic links inside are never followed;
// they are reported as files. Entries that cannot be read are skipped silently.
struct FolderWalkVisitor
{
    // A folder the walk enters, with its level (the start folder has the start level).
    // Returning false ends the whole walk.
    std::function<bool(const std::string& path, int level)> enterFolder;
    // Every entry that is not a folder, with the path of the folder that holds it.
    std::function<void(const std::string& folder, const char* name)> file;
};

// Walks from `start`, whose level is `startLevel` (0 for a root). Returns false when the start
// folder could not be opened.
bool walkFolders(const std::string& start, int startLevel, const FolderWalkVisitor& visitor);
