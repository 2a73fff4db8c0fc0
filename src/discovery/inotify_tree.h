#pragma once

#include <QString>

#include <functional>
#include <string>
#include <unordered_map>

// inotify watches over the folders that a root walk would enter: the root and every folder
// below it that is not a skipped name, down to the walk's depth limit. Folders that appear
// later are added as their creation is read. Running out of watches or an unreadable folder
// degrades silently: what could be watched stays watched.
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

    // Watches a root and the folders below it.
    void watchRoot(const QString& root);
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

    void watchTree(const std::string& folder, int level, const PathSink* sink);
    void forgetTree(const std::string& folder);

    int fd_ = -1;
    bool exhausted_ = false;
    std::unordered_map<int, Watched> watches_;
    std::unordered_map<std::string, int> rootLevels_;
};
