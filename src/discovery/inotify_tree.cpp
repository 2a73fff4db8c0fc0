#include "discovery/inotify_tree.h"

#include "discovery/discovery_names.h"
#include "discovery/folder_walk.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <sys/inotify.h>
#include <sys/stat.h>
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
    if (folder == "/")
        return path.size() > 1 && path[0] == '/';
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

bool isFolder(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string parentOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}

std::string nearestExistingParent(const std::string& path)
{
    std::string parent = parentOf(path);
    while (parent != "/" && !isFolder(parent))
        parent = parentOf(parent);
    return parent;
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
    watchOrAwait(start, nullptr);
}

int InotifyTree::awaitedRootCount() const
{
    size_t count = 0;
    for (const auto& [wd, awaiting] : awaiting_)
        count += awaiting.roots.size();
    return int(count);
}

void InotifyTree::watchOrAwait(const std::string& root, const PathSink* sink)
{
    if (fd_ < 0 || exhausted_)
        return;
    if (isFolder(root)) {
        watchTree(root, 0, sink);
        return;
    }
    const std::string parent = nearestExistingParent(root);
    // Added to whatever a tree watch on the same folder already asks for.
    const int wd = ::inotify_add_watch(fd_, parent.c_str(),
                                       IN_CREATE | IN_MOVED_TO | IN_ONLYDIR | IN_MASK_ADD);
    if (wd < 0) {
        exhausted_ = errno == ENOSPC || errno == ENOMEM;
        return;
    }
    Awaiting& awaiting = awaiting_[wd];
    awaiting.folder = parent;
    if (std::find(awaiting.roots.begin(), awaiting.roots.end(), root) != awaiting.roots.end())
        return;
    awaiting.roots.push_back(root);
    // A folder on the way may have been created before the watch existed: go on from there.
    if (nearestExistingParent(root) != parent || isFolder(root)) {
        stopAwaiting(wd, root);
        watchOrAwait(root, sink);
    }
}

void InotifyTree::stopAwaiting(int wd, const std::string& root)
{
    const auto found = awaiting_.find(wd);
    if (found == awaiting_.end())
        return;
    std::erase(found->second.roots, root);
    if (!found->second.roots.empty())
        return;
    awaiting_.erase(found);
    if (!watches_.contains(wd))
        ::inotify_rm_watch(fd_, wd);
}

void InotifyTree::handleAwaiting(const inotify_event& event, const PathSink& sink)
{
    const auto found = awaiting_.find(event.wd);
    if (found == awaiting_.end())
        return;
    std::vector<std::string> retried;
    if (event.mask & IN_IGNORED) {
        // The parent itself is gone: await its roots under what is left above it.
        retried = std::move(found->second.roots);
        awaiting_.erase(found);
    } else {
        const bool folderAppeared =
            (event.mask & IN_ISDIR) && (event.mask & (IN_CREATE | IN_MOVED_TO)) && event.len > 0;
        if (!folderAppeared)
            return;
        const std::string path = childPath(found->second.folder, event.name);
        for (const std::string& root : found->second.roots)
            if (root == path || isUnder(root, path))
                retried.push_back(root);
        for (const std::string& root : retried)
            stopAwaiting(event.wd, root);
    }
    for (const std::string& root : retried)
        watchOrAwait(root, &sink);
}

void InotifyTree::removeWatch(int wd)
{
    // A folder may serve both as part of a tree and as the parent of an awaited root.
    if (!awaiting_.contains(wd))
        ::inotify_rm_watch(fd_, wd);
    watches_.erase(wd);
}

void InotifyTree::watchTree(const std::string& folder, int level, const PathSink* sink)
{
    if (fd_ < 0 || exhausted_)
        return;
    FolderWalkVisitor visitor;
    visitor.enterFolder = [this, &folder](const std::string& path, int folderLevel) {
        // The folder named as a root may be a symbolic link the user chose; below it the walk
        // never follows links, and neither do the watches. A root moved away is awaited again.
        const bool isRoot = folderLevel == 0 && rootLevels_.contains(path);
        const uint32_t mask =
            entryEvents | (path == folder ? 0 : IN_DONT_FOLLOW) | (isRoot ? IN_MOVE_SELF : 0);
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
    std::vector<int> removed;
    for (const auto& [wd, watched] : watches_)
        if (watched.path == folder || isUnder(watched.path, folder))
            removed.push_back(wd);
    for (const int wd : removed)
        removeWatch(wd);
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
            handleAwaiting(*event, sink);
            const auto watched = watches_.find(event->wd);
            if (watched == watches_.end())
                continue; // a watch removed earlier in this batch
            const std::string watchedPath = watched->second.path;
            const bool isRoot = watched->second.level == 0 && rootLevels_.contains(watchedPath);
            if (event->mask & (IN_IGNORED | IN_MOVE_SELF)) {
                // The folder is gone, unmounted or moved away; a root is awaited again.
                if (event->mask & IN_IGNORED)
                    watches_.erase(watched);
                else
                    forgetTree(watchedPath);
                if (isRoot)
                    watchOrAwait(watchedPath, &sink);
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
            watchOrAwait(root, nullptr);
    }
    return overflowed;
}
