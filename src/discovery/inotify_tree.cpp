#include "discovery/inotify_tree.h"

#include "discovery/discovery_names.h"
#include "discovery/folder_walk.h"

#include <QFile>

#include <cerrno>
#include <sys/inotify.h>
#include <unistd.h>
#include <vector>

namespace {

// Creations, writes, attribute changes, deletions and renames all count alike.
constexpr uint32_t entryEvents = IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB |
                                 IN_MOVED_FROM | IN_MOVED_TO | IN_EXCL_UNLINK | IN_ONLYDIR;

QString decode(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string childPath(const std::string& folder, const char* name)
{
    std::string path = folder;
    if (path.empty() || path.back() != '/')
        path += '/';
    return path + name;
}

bool isUnder(const std::string& path, const std::string& folder)
{
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

} // namespace

InotifyTree::InotifyTree() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

InotifyTree::~InotifyTree()
{
    if (fd_ >= 0)
        ::close(fd_); // removes every watch with it
}

void InotifyTree::watchRoot(const QString& root)
{
    std::string start = QFile::encodeName(root).toStdString();
    while (start.size() > 1 && start.back() == '/')
        start.pop_back();
    rootLevels_[start] = 0;
    watchTree(start, 0, nullptr);
}

void InotifyTree::watchTree(const std::string& folder, int level, const PathSink* sink)
{
    if (fd_ < 0 || exhausted_)
        return;
    FolderWalkVisitor visitor;
    visitor.enterFolder = [this, &folder](const std::string& path, int folderLevel) {
        // The folder named as a root may be a symbolic link the user chose; below it the walk
        // never follows links, and neither do the watches.
        const uint32_t mask = entryEvents | (path == folder ? 0 : IN_DONT_FOLLOW);
        const int wd = ::inotify_add_watch(fd_, path.c_str(), mask);
        if (wd < 0) {
            if (errno == ENOSPC || errno == ENOMEM) {
                exhausted_ = true; // out of watches: keep what we have, add nothing more
                return false;
            }
            return true; // an unreadable folder: its subfolders are still tried
        }
        // A folder reached from two overlapping roots is watched once, at its shallowest
        // level, so that each root's depth limit is honoured for folders created later.
        auto [watched, added] = watches_.try_emplace(wd, Watched{path, folderLevel});
        if (!added && (watched->second.path != path || folderLevel < watched->second.level))
            watched->second = Watched{path, watched->second.path == path
                                                ? std::min(folderLevel, watched->second.level)
                                                : folderLevel};
        return true;
    };
    if (sink)
        visitor.file = [sink](const std::string& parent, const char* name) {
            (*sink)(decode(childPath(parent, name)));
        };
    walkFolders(folder, level, visitor);
}

void InotifyTree::forgetTree(const std::string& folder)
{
    for (auto it = watches_.begin(); it != watches_.end();) {
        if (it->second.path == folder || isUnder(it->second.path, folder)) {
            ::inotify_rm_watch(fd_, it->first);
            it = watches_.erase(it);
        } else {
            ++it;
        }
    }
}

bool InotifyTree::readEvents(const PathSink& sink)
{
    if (fd_ < 0)
        return false;
    bool overflowed = false;
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
        const ssize_t length = ::read(fd_, buffer, sizeof buffer);
        if (length < 0 && errno == EINTR)
            continue;
        if (length <= 0)
            break; // EAGAIN: the queue is drained
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                overflowed = true;
                continue;
            }
            const auto watched = watches_.find(event->wd);
            if (watched == watches_.end())
                continue; // a watch removed earlier in this batch
            if (event->mask & IN_IGNORED) {
                watches_.erase(watched); // the folder is gone or unmounted
                continue;
            }
            if (event->len == 0 || event->name[0] == '\0')
                continue;                           // an event about the watched folder itself
            const Watched parent = watched->second; // copied: watchTree may rehash the map
            const std::string path = childPath(parent.path, event->name);
            sink(decode(path));
            if (!(event->mask & IN_ISDIR))
                continue;
            // A folder renamed or moved away keeps its watches on the kernel side under the
            // old path; drop them so that events never carry a stale path.
            if (event->mask & IN_MOVED_FROM)
                forgetTree(path);
            const bool appeared = event->mask & (IN_CREATE | IN_MOVED_TO);
            if (appeared && parent.level + 1 <= maxDescendLevel &&
                !isSkippedDirectoryName(event->name))
                watchTree(path, parent.level + 1, &sink);
        }
    }
    if (overflowed) {
        // Creations of folders may be among the lost events: walk every root again; folders
        // already watched keep their watches.
        for (const auto& [root, level] : rootLevels_)
            watchTree(root, level, nullptr);
    }
    return overflowed;
}
