#include "discovery/dev_registry_watcher.h"

#include "base/deliver.h"
#include "base/work_pools.h"
#include "discovery/inotify_tree.h"

#include <QSocketNotifier>
#include <QtConcurrent>

#include <algorithm>

namespace {

// A file just written may name a port that opens a moment later: such an entry is probed
// again at this pace while its file is this young.
constexpr std::chrono::milliseconds youngProbeInterval{1000};
constexpr std::chrono::seconds youngEntryAge{10};

} // namespace

DevRegistryWatcher::DevRegistryWatcher(QObject* parent, DevRegistryWatcherTiming timing)
    : QObject(parent), timing_(timing)
{
    settle_.setSingleShot(true);
    recheck_.setSingleShot(true);
    connect(&settle_, &QTimer::timeout, this, &DevRegistryWatcher::startRead);
    connect(&recheck_, &QTimer::timeout, this, &DevRegistryWatcher::startRead);
}

DevRegistryWatcher::~DevRegistryWatcher()
{
    delete notifier_; // before the descriptor it polls is closed
    notifier_ = nullptr;
}

void DevRegistryWatcher::setFolders(const QStringList& folders)
{
    folders_ = folders;
    ++generation_;
    delete notifier_;
    notifier_ = nullptr;
    tree_ = std::make_unique<InotifyTree>();
    if (tree_->fd() >= 0) {
        for (const QString& folder : folders_)
            tree_->watchRoot(folder);
        notifier_ = new QSocketNotifier(tree_->fd(), QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &DevRegistryWatcher::readEvents);
    }
    reading_ = false; // a read of the old folders still under way is dropped when it returns
    startRead();
}

const DevRegistryEntry* DevRegistryWatcher::liveEntry(const QString& workerName) const
{
    const DevRegistryEntry* entry = findDevRegistryEntry(entries_, workerName);
    return entry && entry->live ? entry : nullptr;
}

void DevRegistryWatcher::refresh()
{
    if (!settle_.isActive())
        settle_.start(timing_.settle);
}

void DevRegistryWatcher::showEntries(const QList<DevRegistryEntry>& entries)
{
    setFolders({});
    ++generation_;
    reading_ = false;
    settle_.stop();
    recheck_.stop();
    apply(entries);
}

void DevRegistryWatcher::readEvents()
{
    bool changed = false;
    tree_->readEvents([&changed](const QString&) { changed = true; });
    if (changed)
        refresh();
}

void DevRegistryWatcher::startRead()
{
    if (reading_) {
        readAgain_ = true;
        return;
    }
    settle_.stop();
    recheck_.stop();
    reading_ = true;
    readAgain_ = false;
    const quint64 generation = generation_;
    deliverTo(this,
              QtConcurrent::run(WorkPools::shortWork(), readDevRegistry, folders_, timing_.limits),
              [this, generation](const QList<DevRegistryEntry>& entries) {
                  if (generation != generation_)
                      return;
                  reading_ = false;
                  apply(entries);
                  if (readAgain_)
                      startRead();
                  else
                      scheduleRecheck();
              });
}

void DevRegistryWatcher::apply(const QList<DevRegistryEntry>& entries)
{
    const bool wasLoaded = loaded_;
    loaded_ = true;
    if (entries != entries_) {
        entries_ = entries;
        emit entriesChanged();
    }
    if (!wasLoaded)
        emit isLoadedChanged();
}

void DevRegistryWatcher::scheduleRecheck()
{
    using std::chrono::milliseconds;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    std::optional<milliseconds> next;
    const auto sooner = [&next](milliseconds delay) {
        delay = std::max(delay, milliseconds(0));
        if (!next || delay < *next)
            next = delay;
    };
    for (const DevRegistryEntry& entry : std::as_const(entries_)) {
        const milliseconds age(entry.modified.msecsTo(now));
        if (entry.live) {
            sooner(timing_.heartbeatGrace);
            // One past the limit, so that the entry is stale when it is read.
            sooner(timing_.limits.staleAfter - age + milliseconds(1000));
        } else if (!entry.debugAddress.isEmpty() && age < youngEntryAge) {
            sooner(youngProbeInterval);
        }
    }
    if (next)
        recheck_.start(*next);
}
