#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

// Calls visit(entry, folderFd) for every entry of the folder `path`, opened relative to `dirFd`
// like openat() ("." and ".." included; `folderFd` serves *at() calls on the entries). The
// folder's descriptor is close-on-exec and closed before returning. Returns false, having
// visited nothing, when the folder cannot be opened: a missing or unreadable folder is a normal
// event for callers, not an error.
template <typename Visit> bool forEachDirectoryEntry(int dirFd, const char* path, Visit&& visit)
{
    const int fd = ::openat(dirFd, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    while (const dirent* entry = ::readdir(dir))
        visit(*entry, ::dirfd(dir));
    ::closedir(dir);
    return true;
}
