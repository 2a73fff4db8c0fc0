#pragma once

#include <QString>

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

struct inotify_event;

// inotify watches over the folders that a root walk would enter: the root and every folder
// below it that is not a skipped name, down to the walk's depth limit. Folders that appear
// later are added as their creation is read. A root that does not exist (yet, or any more
// after it was deleted or moved away) is awaited: its nearest existing parent is watched
// until the root appears, and then the root is watched again. Running out of watches or an
// unreadable folder degrades silently: what could be watched stays watched.
class InotifyTree
{
public:
    // Receives the path of every changed entry, in arrival order.
    using PathSink = std::function<void(const QString& path)>;

    InotifyTree();
    ~InotifyTree();
    InotifyTree(const InotifyTree&) = delete;
    InotifyTree& operator=(const InotifyTree&) = delete;

    // The descriptor to poll for readability, or -1 when inotify is unavailable.
    int fd() const { return fd_; }
    int watchCount() const { return int(watches_.size()); }

    // Watches a root and the folders below it, or awaits the root when it does not exist.
    void watchRoot(const QString& root);
    // Roots awaited because they do not exist.
    int awaitedRootCount() const;
    // Reads every pending event. Files already present in a folder that has just been
    // watched are reported too: they may have been written before the watch existed.
    // Returns true when the kernel's queue overflowed, so events were lost.
    bool readEvents(const PathSink& sink);

private:
    struct Watched
    {
        std::string path;
        int level;
    };

    // A parent watched for the creation of the awaited roots below it.
    struct Awaiting
    {
        std::string folder;
        std::vector<std::string> roots;
    };

    void watchTree(const std::string& folder, int level, const PathSink* sink);
    void forgetTree(const std::string& folder);
    // Watches `root` when it is a folder, else awaits it under its nearest existing parent.
    // Files in a root that is watched here are reported to `sink` (when given).
    void watchOrAwait(const std::string& root, const PathSink* sink);
    // The events of a watched parent: the roots whose path a new folder begins are tried again.
    void handleAwaiting(const inotify_event& event, const PathSink& sink);
    void stopAwaiting(int wd, const std::string& root);
    void removeWatch(int wd);

    int fd_ = -1;
    bool exhausted_ = false;
    std::unordered_map<int, Watched> watches_;
    std::unordered_map<std::string, int> rootLevels_;
    std::unordered_map<int, Awaiting> awaiting_;
};
