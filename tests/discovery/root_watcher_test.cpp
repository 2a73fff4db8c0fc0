#include "discovery/root_watcher.h"
#include "support/temp_folder.h"
#include "support/wait_until.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <chrono>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

// Short latencies for the logic tests; the real ones are exercised separately below.
constexpr RootWatcherTiming fast{100ms, 150ms};

struct CallCounter
{
    int calls = 0;
    QElapsedTimer sinceFirst;
    qint64 firstAfter = -1;
    std::function<void()> callback()
    {
        return [this] {
            if (calls++ == 0 && sinceFirst.isValid())
                firstAfter = sinceFirst.elapsed();
        };
    }
};

// Waits long enough for any callback that a change could still cause.
void settle(std::chrono::milliseconds span)
{
    QTest::qWait(int(span.count()));
}

} // namespace

TEST(EventRelevance, OnlyConfigFilesOutsideSkippedFoldersCount)
{
    EXPECT_TRUE(isRelevantEventPath(QStringLiteral("/home/u/Sites/app/wrangler.toml")));
    EXPECT_TRUE(isRelevantEventPath(QStringLiteral("/home/u/.hidden/wrangler.jsonc")));
    EXPECT_TRUE(isRelevantEventPath(QStringLiteral("wrangler.json")));
    EXPECT_FALSE(isRelevantEventPath(QStringLiteral("/home/u/Sites/app/package.json")));
    EXPECT_FALSE(isRelevantEventPath(QStringLiteral("/home/u/Sites/app/wrangler.toml.bak")));
    EXPECT_FALSE(isRelevantEventPath(QStringLiteral("/home/u/Sites/app/Wrangler.toml")));
    EXPECT_FALSE(isRelevantEventPath(QStringLiteral("/a/node_modules/x/wrangler.toml")));
    EXPECT_FALSE(isRelevantEventPath(QStringLiteral("/a/.wrangler/tmp/wrangler.json")));
    EXPECT_FALSE(isRelevantEventPath(QStringLiteral("/srv/dist/roots/app/wrangler.toml")));
    EXPECT_FALSE(isRelevantEventPath(QStringLiteral("/")));
    EXPECT_FALSE(isRelevantEventPath(QString()));
}

TEST(RootWatcher, WatchesNothingWithoutRoots)
{
    CallCounter counter;
    RootWatcher none({}, counter.callback());
    EXPECT_FALSE(none.isWatching());
}

TEST(RootWatcher, ARootThatAppearsLaterOrIsDeletedAndCreatedAgainIsWatched)
{
    TempFolder tree;
    const QString root = tree.filePath(QStringLiteral("later/sites"));
    CallCounter counter;
    RootWatcher watcher({root}, counter.callback(), nullptr, fast);
    EXPECT_TRUE(watcher.isWatching());
    EXPECT_EQ(watcher.watchedFolderCount(), 0);

    // Created with its parent and a project at once.
    tree.write(QStringLiteral("later/sites/app/wrangler.toml"), "");
    WAIT_UNTIL(counter.calls == 1, 5000);
    EXPECT_EQ(watcher.watchedFolderCount(), 2);

    // Deleted (the configuration going counts), then created again.
    ASSERT_TRUE(QDir(root).removeRecursively());
    WAIT_UNTIL(counter.calls == 2, 5000);
    tree.write(QStringLiteral("later/sites/other/wrangler.jsonc"), "{}");
    WAIT_UNTIL(counter.calls == 3, 5000);

    // Moved away: the old folder is no longer the root; a new one is.
    ASSERT_TRUE(QDir().rename(root, tree.filePath(QStringLiteral("later/old"))));
    tree.write(QStringLiteral("later/old/third/wrangler.toml"), "");
    tree.write(QStringLiteral("later/sites/fourth/wrangler.toml"), "");
    WAIT_UNTIL(counter.calls == 4, 5000);
    settle(400ms);
    EXPECT_EQ(counter.calls, 4);
}

TEST(RootWatcher, WatchesTheFoldersTheWalkEntersOnly)
{
    TempFolder tree;
    tree.makeDir(QStringLiteral("a/b"));
    tree.makeDir(QStringLiteral("a/node_modules/x/y"));
    tree.makeDir(QStringLiteral(".git/objects"));
    tree.makeDir(QStringLiteral("l1/l2/l3/l4/l5/l6/l7/l8/l9/l10"));
    CallCounter counter;
    RootWatcher watcher({tree.path()}, counter.callback(), nullptr, fast);
    // root, a, a/b, and l1..l8 (l9 is below the depth limit)
    EXPECT_EQ(watcher.watchedFolderCount(), 3 + 8);
}

TEST(RootWatcher, OverlappingRootsKeepTheDeeperReach)
{
    TempFolder tree;
    const QString inner = tree.makeDir(QStringLiteral("l1"));
    CallCounter counter;
    // l1 is level 1 under the outer root but level 0 as a root itself: a configuration
    // nine folders below the outer root is within the inner root's reach.
    RootWatcher watcher({inner, tree.path()}, counter.callback(), nullptr, fast);
    tree.write(QStringLiteral("l1/l2/l3/l4/l5/l6/l7/l8/l9/wrangler.toml"), "");
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.calls == 1; }, 5000));
}

TEST(RootWatcher, ConfigInANewNestedFolderTriggersOnceWithRealLatencies)
{
    TempFolder tree;
    CallCounter counter;
    RootWatcher watcher({tree.path()}, counter.callback());
    ASSERT_TRUE(watcher.isWatching());
    counter.sinceFirst.start();
    // The nested folders and the file appear faster than a watch can be added to each
    // new folder: the file must still be noticed.
    tree.write(QStringLiteral("new/deeper/app/wrangler.toml"), "name = \"app\"\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.calls > 0; }, 10000));
    // A debounced callback can never come early; how late it came is logged for the record.
    EXPECT_GE(counter.firstAfter, 1500 - 20);
    std::printf("callback %lld ms after the write\n", static_cast<long long>(counter.firstAfter));
    settle(2500ms);
    EXPECT_EQ(counter.calls, 1);
}

TEST(RootWatcher, TenSavesWithinASecondTriggerOneCallbackWithRealLatencies)
{
    TempFolder tree;
    const QString config = tree.write(QStringLiteral("app/wrangler.jsonc"), "{}");
    CallCounter counter;
    RootWatcher watcher({tree.path()}, counter.callback());
    for (int i = 0; i < 10; ++i) {
        tree.write(QStringLiteral("app/wrangler.jsonc"), QByteArray::number(i));
        QTest::qWait(90);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.calls > 0; }, 10000));
    settle(3000ms);
    EXPECT_EQ(counter.calls, 1);
}

TEST(RootWatcher, IrrelevantFilesAndSkippedFoldersTriggerNothing)
{
    TempFolder tree;
    tree.makeDir(QStringLiteral("app/node_modules/pkg"));
    tree.makeDir(QStringLiteral("app/.wrangler/tmp"));
    CallCounter counter;
    RootWatcher watcher({tree.path()}, counter.callback(), nullptr, fast);
    tree.write(QStringLiteral("app/package.json"), "{}");
    tree.write(QStringLiteral("app/src/index.ts"), "export default {}");
    tree.write(QStringLiteral("app/wrangler.toml.bak"), "");
    tree.write(QStringLiteral("app/node_modules/pkg/wrangler.toml"), "");
    tree.write(QStringLiteral("app/node_modules/new/wrangler.toml"), "");
    tree.write(QStringLiteral("app/.wrangler/tmp/wrangler.json"), "");
    tree.write(QStringLiteral("app/dist/wrangler.json"), "");
    settle(600ms);
    EXPECT_EQ(counter.calls, 0);

    // The same watcher does see a configuration outside those folders.
    tree.write(QStringLiteral("app/wrangler.toml"), "");
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.calls == 1; }, 5000));
}

TEST(RootWatcher, NothingUnderARootWhosePathHoldsASkippedNameIsRelevant)
{
    TempFolder tree;
    const QString root = tree.makeDir(QStringLiteral("dist/sites"));
    CallCounter counter;
    RootWatcher watcher({root}, counter.callback(), nullptr, fast);
    ASSERT_TRUE(watcher.isWatching());
    tree.write(QStringLiteral("dist/sites/app/wrangler.toml"), "");
    tree.write(QStringLiteral("dist/sites/wrangler.jsonc"), "");
    settle(600ms);
    EXPECT_EQ(counter.calls, 0);
}

TEST(RootWatcher, DeletionsAndRenamesCountAndMovedFoldersAreWatchedUnderTheirNewPath)
{
    TempFolder tree;
    tree.write(QStringLiteral("app/wrangler.toml"), "");
    tree.makeDir(QStringLiteral("moving/inner"));
    CallCounter counter;
    RootWatcher watcher({tree.path()}, counter.callback(), nullptr, fast);

    ASSERT_TRUE(QFile::remove(tree.filePath(QStringLiteral("app/wrangler.toml"))));
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.calls == 1; }, 5000));

    // A folder moved into node_modules must not report changes under its old path.
    tree.makeDir(QStringLiteral("app/node_modules"));
    ASSERT_TRUE(QFile::rename(tree.filePath(QStringLiteral("moving")),
                              tree.filePath(QStringLiteral("app/node_modules/moving"))));
    settle(400ms);
    tree.write(QStringLiteral("app/node_modules/moving/inner/wrangler.toml"), "");
    settle(600ms);
    EXPECT_EQ(counter.calls, 1);

    // Moved back out, its files are watched again.
    ASSERT_TRUE(QFile::rename(tree.filePath(QStringLiteral("app/node_modules/moving")),
                              tree.filePath(QStringLiteral("back"))));
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.calls == 2; }, 5000)); // file inside
    tree.write(QStringLiteral("back/inner/wrangler.jsonc"), "{}");
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.calls == 3; }, 5000));
}

TEST(RootWatcher, AQueueOverflowCountsAsARelevantChange)
{
    TempFolder tree;
    CallCounter counter;
    RootWatcher watcher({tree.path()}, counter.callback(), nullptr, fast);
    // While the event loop does not run, nothing drains the kernel's queue: enough writes of
    // irrelevant files overflow it (each file gives at least three events).
    QFile limitFile(QStringLiteral("/proc/sys/fs/inotify/max_queued_events"));
    ASSERT_TRUE(limitFile.open(QIODevice::ReadOnly));
    const int limit = limitFile.readAll().trimmed().toInt();
    ASSERT_GT(limit, 0);
    for (int i = 0; i < limit / 3 + 100; ++i)
        tree.write(QStringLiteral("notes-%1.txt").arg(i), "x");
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.calls == 1; }, 10000));
    settle(400ms);
    EXPECT_EQ(counter.calls, 1);
}

TEST(RootWatcher, DestroyingTheWatcherCancelsAPendingRescan)
{
    TempFolder tree;
    CallCounter counter;
    auto watcher = std::make_unique<RootWatcher>(QStringList{tree.path()}, counter.callback(),
                                                 nullptr, RootWatcherTiming{0ms, 300ms});
    tree.write(QStringLiteral("wrangler.toml"), "");
    ASSERT_TRUE(QTest::qWaitFor([&] { return watcher->isRescanPending(); }, 5000));
    watcher.reset();
    settle(600ms);
    EXPECT_EQ(counter.calls, 0);
}

TEST(RootWatcher, TheCallbackMayDestroyTheWatcher)
{
    TempFolder tree;
    std::unique_ptr<RootWatcher> watcher;
    int calls = 0;
    watcher = std::make_unique<RootWatcher>(
        QStringList{tree.path()},
        [&] {
            ++calls;
            watcher.reset(); // as a model replacing its watcher from the rescan would
        },
        nullptr, fast);
    tree.write(QStringLiteral("wrangler.toml"), "");
    EXPECT_TRUE(QTest::qWaitFor([&] { return calls == 1; }, 5000));
    EXPECT_EQ(watcher, nullptr);
}
