#pragma once

#include "discovery/dev_registry.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <memory>

class InotifyTree;
class QSocketNotifier;

struct DevRegistryWatcherTiming
{
    DevRegistryLimits limits;
    // A burst of events (a file written in pieces, several servers at once) is read once, this
    // long after its first event.
    std::chrono::milliseconds settle{50};
    // Every live owner refreshes its file at least every 30 s, and each refresh is an event.
    // When none arrives for this long while entries are live, an owner may have been killed
    // without removing its file: the entries are read again so that its dead port is seen.
    std::chrono::milliseconds heartbeatGrace{35000};
};

// Keeps the entries of the dev registry folders, read again on every change of the folders
// (inotify; a folder that does not exist yet is awaited), when an entry goes stale, and when
// the heartbeats expected of live entries stop. The folders are read and the debug ports
// probed on the short-work pool; the entries are applied on the watcher's thread. Lives on
// the main thread.
class DevRegistryWatcher : public QObject
{
    Q_OBJECT

public:
    explicit DevRegistryWatcher(QObject* parent = nullptr, DevRegistryWatcherTiming timing = {});
    ~DevRegistryWatcher() override;

    // Watches these folders from now on (replacing the earlier ones) and reads them.
    void setFolders(const QStringList& folders);
    const QStringList& folders() const { return folders_; }

    // Sorted by Worker name; live and not live alike.
    const QList<DevRegistryEntry>& entries() const { return entries_; }
    // The live entry of a Worker, or null.
    const DevRegistryEntry* liveEntry(const QString& workerName) const;
    // True once the folders have been read at least once.
    bool isLoaded() const { return loaded_; }

    // Reads the folders again soon (a server of ours has just stopped or become ready).
    void refresh();
    // Shows these entries instead of any folder's and watches nothing (demo mode).
    void showEntries(const QList<DevRegistryEntry>& entries);

signals:
    void entriesChanged();
    void isLoadedChanged();

private:
    void readEvents();
    void startRead();
    void apply(const QList<DevRegistryEntry>& entries);
    // Arms the one timer for the next moment the entries must be looked at without an event.
    void scheduleRecheck();

    DevRegistryWatcherTiming timing_;
    QStringList folders_;
    std::unique_ptr<InotifyTree> tree_;
    QSocketNotifier* notifier_ = nullptr;
    QTimer settle_;
    QTimer recheck_;
    bool reading_ = false;
    bool readAgain_ = false;
    quint64 generation_ = 0; // reads of folders that have since been replaced are dropped
    bool loaded_ = false;
    QList<DevRegistryEntry> entries_;
};
