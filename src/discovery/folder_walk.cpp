#include "discovery/folder_walk.h"

#include "discovery/discovery_names.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class Walker
{
public:
    explicit Walker(const FolderWalkVisitor& visitor) : visitor_(visitor) {}

    // Lists one open folder (taking ownership of fd) and descends into its subfolders.
    // `path` holds the folder's path and is restored before returning.
    void walk(int fd, std::string& path, int level)
    {
        DIR* dir = ::fdopendir(fd);
        if (!dir) {
            ::close(fd);
            return;
        }
        while (!stopped_) {
            const dirent* entry = ::readdir(dir);
            if (!entry)
                break; // end of folder, or a read error: both end this folder only
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            if (!isFolder(::dirfd(dir), entry)) {
                if (visitor_.file)
                    visitor_.file(path, name);
                continue;
            }
            // Folders below the depth limit and skipped names are seen but never entered.
            if (level + 1 > maxDescendLevel || isSkippedDirectoryName(name))
                continue;
            const int child =
                ::openat(::dirfd(dir), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child < 0)
                continue;
            const std::size_t length = path.size();
            if (path.empty() || path.back() != '/')
                path += '/';
            path += name;
            if (enter(path, level + 1))
                walk(child, path, level + 1);
            else
                ::close(child);
            path.resize(length);
        }
        ::closedir(dir);
    }

    bool enter(const std::string& path, int level)
    {
        if (visitor_.enterFolder && !visitor_.enterFolder(path, level))
            stopped_ = true;
        return !stopped_;
    }

private:
    // A symbolic link is never a folder here, whatever it points to.
    static bool isFolder(int dirFd, const dirent* entry)
    {
        if (entry->d_type != DT_UNKNOWN)
            return entry->d_type == DT_DIR;
        struct stat info;
        if (::fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            return false;
        return S_ISDIR(info.st_mode);
    }

    const FolderWalkVisitor& visitor_;
    bool stopped_ = false;
};

} // namespace

bool walkFolders(const std::string& start, int startLevel, const FolderWalkVisitor& visitor)
{
    const int fd = ::open(start.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    Walker walker(visitor);
    std::string path = start;
    if (walker.enter(path, startLevel))
        walker.walk(fd, path, startLevel);
    else
        ::close(fd);
    return true;
}
