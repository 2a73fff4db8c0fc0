#include "discovery/root_watcher.h"

#include "discovery/discovery_names.h"
#include "discovery/inotify_tree.h"

#include <QSocketNotifier>

bool isRelevantEventPath(const QString& path)
{
    // Most events name other files: look at the last piece before splitting the whole path.
    QStringView view(path);
    while (view.endsWith(u'/'))
        view.chop(1);
    const QStringView last = view.mid(view.lastIndexOf(u'/') + 1);
    if (!last.startsWith(u"wrangler.") || !configFileRank(last.toString()))
        return false;
    for (const QStringView piece : view.tokenize(u'/', Qt::SkipEmptyParts))
        if (isSkippedDirectoryName(piece.toString()))
            return false;
    return true;
}

RootWatcher::RootWatcher(const QStringList& roots, std::function<void()> onChange, QObject* parent,
                         RootWatcherTiming timing)
    : QObject(parent), onChange_(std::move(onChange)), timing_(timing)
{
    batch_.setSingleShot(true);
    batch_.setTimerType(Qt::PreciseTimer);
    debounce_.setSingleShot(true);
    debounce_.setTimerType(Qt::PreciseTimer);
    connect(&batch_, &QTimer::timeout, this, &RootWatcher::deliverBatch);
    connect(&debounce_, &QTimer::timeout, this, [this] {
        // Copied: the callback may replace, and so destroy, this watcher.
        const auto onChange = onChange_;
        if (onChange)
            onChange();
    });

    if (roots.isEmpty())
        return;
    tree_ = std::make_unique<InotifyTree>();
    if (tree_->fd() < 0) {
        tree_.reset(); // inotify unavailable: watch nothing, say nothing
        return;
    }
    for (const QString& root : roots)
        tree_->watchRoot(root);
    notifier_ = new QSocketNotifier(tree_->fd(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &RootWatcher::readEvents);
}

RootWatcher::~RootWatcher()
{
    debounce_.stop();
    batch_.stop();
    delete notifier_; // before the descriptor it polls is closed
    notifier_ = nullptr;
}

bool RootWatcher::isWatching() const
{
    return tree_ && (tree_->watchCount() > 0 || tree_->awaitedRootCount() > 0);
}

int RootWatcher::watchedFolderCount() const
{
    return tree_ ? tree_->watchCount() : 0;
}

void RootWatcher::scheduleRescan()
{
    debounce_.start(timing_.debounce);
}

void RootWatcher::readEvents()
{
    const bool overflowed = tree_->readEvents([this](const QString& path) {
        if (!batchRelevant_ && isRelevantEventPath(path))
            batchRelevant_ = true;
    });
    if (overflowed)
        batchRelevant_ = true; // lost events may have named a configuration file
    if (batch_.isActive())
        return; // this batch is delivered when the latency has passed
    const auto elapsed = std::chrono::milliseconds(
        sinceDelivery_.isValid() ? sinceDelivery_.elapsed() : timing_.latency.count());
    if (elapsed >= timing_.latency)
        deliverBatch();
    else
        batch_.start(timing_.latency - elapsed);
}

void RootWatcher::deliverBatch()
{
    sinceDelivery_.start();
    if (!batchRelevant_)
        return;
    batchRelevant_ = false;
    scheduleRescan();
}
