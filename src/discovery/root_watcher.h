#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

class InotifyTree;
class QSocketNotifier;

// True when a changed path names a configuration file and no piece of it (the root's own
// path included) is a skipped folder name.
bool isRelevantEventPath(const QString& path);

struct RootWatcherTiming
{
    // Events are delivered in batches at most this often; the first event after a quiet
    // period is delivered at once.
    std::chrono::milliseconds latency{1000};
    // The rescan runs this long after the last relevant batch.
    std::chrono::milliseconds debounce{1500};
};

// Watches every root for changes of configuration files and calls `onChange` once per burst
// of relevant changes. Lives on the thread that owns the model; everything is delivered there.
// Destroying it is the teardown: a pending rescan is cancelled and the watches are closed.
class RootWatcher : public QObject
{
    Q_OBJECT

public:
    RootWatcher(const QStringList& roots, std::function<void()> onChange, QObject* parent = nullptr,
                RootWatcherTiming timing = {});
    ~RootWatcher() override;

    // True when there are watches (roots given and inotify available), also when they only
    // await roots that do not exist yet.
    bool isWatching() const;
    int watchedFolderCount() const;
    bool isRescanPending() const { return debounce_.isActive(); }

    // The debounce step: (re)starts the delay after which `onChange` runs.
    void scheduleRescan();

private:
    void readEvents();
    void deliverBatch();

    std::function<void()> onChange_;
    RootWatcherTiming timing_;
    std::unique_ptr<InotifyTree> tree_;
    QSocketNotifier* notifier_ = nullptr;
    QTimer batch_;
    QTimer debounce_;
    QElapsedTimer sinceDelivery_;
    bool batchRelevant_ = false;
};
