#include "discovery/dev_registry.h"
#include "discovery/dev_registry_watcher.h"
#include "support/loopback.h"
#include "support/temp_folder.h"
#include "support/wait_until.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

using Loopback::Listener;

QByteArray entryJson(const QString& worker, const QString& address, const QStringList& queues = {})
{
    QByteArray json = "{\n  \"debugPortAddress\": \"" + address.toUtf8() +
                      "\",\n  \"defaultEntrypointService\": \"core:user:" + worker.toUtf8() +
                      "\",\n  \"userWorkerService\": \"core:user:" + worker.toUtf8() + "\"";
    if (!queues.isEmpty())
        json +=
            ",\n  \"queueConsumers\": [\"" + queues.join(QStringLiteral("\", \"")).toUtf8() + "\"]";
    return json + "\n}";
}

// A closed port: bound and released again, so nothing listens there now.
QString closedAddress()
{
    Listener gone;
    QString address = gone.address();
    gone.close();
    return address;
}

bool liveIs(const DevRegistryWatcher& watcher, const char* worker, bool live)
{
    const DevRegistryEntry* entry =
        findDevRegistryEntry(watcher.entries(), QString::fromLatin1(worker));
    return entry && entry->live == live;
}

void backdate(const QString& path, std::chrono::seconds age)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-age.count()),
                                 QFileDevice::FileModificationTime));
}

} // namespace

TEST(DevRegistryFolders, FollowWranglersRulesAndBothOverrides)
{
    TempFolder home;
    Environment environment{{QStringLiteral("HOME"), home.path()}};
    // Without XDG_CONFIG_HOME the configuration folder is ~/.config.
    EXPECT_EQ(devRegistryFolders(environment),
              QStringList{home.filePath(QStringLiteral(".config/.wrangler/registry"))});
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("xdg")));
    EXPECT_EQ(devRegistryFolders(environment),
              QStringList{home.filePath(QStringLiteral("xdg/.wrangler/registry"))});
    // The legacy folder wins as soon as ~/.wrangler exists, even without its registry.
    home.makeDir(QStringLiteral(".wrangler"));
    const QString legacy = home.filePath(QStringLiteral(".wrangler/registry"));
    EXPECT_EQ(devRegistryFolders(environment), QStringList{legacy});

    // Wrangler's override replaces its folder only; the Vite plugin keeps the default.
    environment.insert(QStringLiteral("WRANGLER_REGISTRY_PATH"), QStringLiteral("/tmp/w-reg/"));
    EXPECT_EQ(devRegistryFolders(environment), (QStringList{QStringLiteral("/tmp/w-reg"), legacy}));
    environment.insert(QStringLiteral("MINIFLARE_REGISTRY_PATH"), QStringLiteral("/tmp/m-reg"));
    EXPECT_EQ(devRegistryFolders(environment),
              (QStringList{QStringLiteral("/tmp/w-reg"), QStringLiteral("/tmp/m-reg")}));
    // Both pointing at one folder: watched once.
    environment.insert(QStringLiteral("MINIFLARE_REGISTRY_PATH"), QStringLiteral("/tmp/w-reg"));
    EXPECT_EQ(devRegistryFolders(environment), QStringList{QStringLiteral("/tmp/w-reg")});
    // A relative or empty override would differ per server's working folder: ignored.
    environment.insert(QStringLiteral("WRANGLER_REGISTRY_PATH"), QStringLiteral("reg"));
    environment.insert(QStringLiteral("MINIFLARE_REGISTRY_PATH"), QString());
    EXPECT_EQ(devRegistryFolders(environment), QStringList{legacy});
}

TEST(DevRegistryProbe, OnlyLoopbackPortsThatListen)
{
    Listener listener;
    EXPECT_TRUE(loopbackPortAccepts(listener.address(), 500ms));
    EXPECT_TRUE(
        loopbackPortAccepts(QString(listener.address())
                                .replace(QStringLiteral("127.0.0.1"), QStringLiteral("localhost")),
                            500ms));
    EXPECT_FALSE(loopbackPortAccepts(closedAddress(), 500ms));
    EXPECT_FALSE(loopbackPortAccepts(QStringLiteral("192.0.2.1:80"), 500ms));
    EXPECT_FALSE(loopbackPortAccepts(QStringLiteral("127.0.0.1:99999"), 500ms));
    EXPECT_FALSE(loopbackPortAccepts(QStringLiteral("garbage"), 500ms));
}

// One registry through its life: awaited before it exists, then entries that appear, go stale,
// are rewritten and removed, beside files that name no Worker.
TEST(DevRegistryWatcher, FollowsEntriesThroughTheirLife)
{
    TempFolder root;
    const QString folder = root.filePath(QStringLiteral("config/.wrangler/registry"));
    DevRegistryWatcher watcher;
    QSignalSpy changes(&watcher, &DevRegistryWatcher::entriesChanged);
    watcher.setFolders({folder});
    WAIT_UNTIL(watcher.isLoaded(), 5000);
    EXPECT_TRUE(watcher.entries().isEmpty());

    // The folder appears with a live Worker, as Wrangler creates it on its first start.
    Listener api;
    root.write(QStringLiteral("config/.wrangler/registry/api"), entryJson("api", api.address()));
    WAIT_UNTIL(watcher.liveEntry(QStringLiteral("api")), 5000);
    EXPECT_EQ(watcher.liveEntry(QStringLiteral("api"))->debugAddress, api.address());

    // A fresh file whose port is closed, and a storage candidate that names no Worker.
    const QString authFile = root.write(QStringLiteral("config/.wrangler/registry/auth"),
                                        entryJson("auth", closedAddress(), {"jobs"}));
    root.write(QStringLiteral("config/.wrangler/registry/__miniflare_storage_candidate__-1f2e"),
               "{}");
    WAIT_UNTIL(liveIs(watcher, "auth", false), 5000);
    EXPECT_EQ(watcher.entries().size(), 2);
    EXPECT_EQ(findDevRegistryEntry(watcher.entries(), QStringLiteral("auth"))->queueConsumers,
              QStringList{QStringLiteral("jobs")});

    // Rewritten with a port that listens: live under its new address.
    Listener auth;
    root.write(QStringLiteral("config/.wrangler/registry/auth"), entryJson("auth", auth.address()));
    WAIT_UNTIL(liveIs(watcher, "auth", true), 5000);
    EXPECT_EQ(watcher.liveEntry(QStringLiteral("auth"))->debugAddress, auth.address());

    // No heartbeat for longer than the limit: stale although its port still listens.
    backdate(authFile, 400s);
    WAIT_UNTIL(liveIs(watcher, "auth", false), 5000);

    // Removed on a clean exit.
    const qsizetype changesBefore = changes.size();
    ASSERT_TRUE(QFile::remove(root.filePath(QStringLiteral("config/.wrangler/registry/api"))));
    WAIT_UNTIL(!findDevRegistryEntry(watcher.entries(), QStringLiteral("api")), 5000);
    EXPECT_GT(changes.size(), changesBefore);
    EXPECT_EQ(watcher.entries().size(), 1);
}

// A server killed outright leaves a fresh file and stops refreshing it: once the heartbeats
// are overdue the port is probed again, without any event in the folder.
TEST(DevRegistryWatcher, SeesAKilledOwnerWhenItsHeartbeatsStop)
{
    TempFolder root;
    DevRegistryWatcherTiming timing;
    timing.heartbeatGrace = 300ms;
    DevRegistryWatcher watcher(nullptr, timing);
    auto owner = std::make_unique<Listener>();
    root.write(QStringLiteral("registry/api"), entryJson("api", owner->address()));
    watcher.setFolders({root.filePath(QStringLiteral("registry"))});
    WAIT_UNTIL(liveIs(watcher, "api", true), 5000);
    owner.reset();
    WAIT_UNTIL(liveIs(watcher, "api", false), 5000);
}

// Wrangler and the Vite plugin may use two folders; a Worker listed in both is taken from the
// one whose owner is alive.
TEST(DevRegistryWatcher, MergesTwoFoldersPreferringTheLiveEntry)
{
    TempFolder root;
    Listener vite;
    root.write(QStringLiteral("wrangler/web"), entryJson("web", closedAddress()));
    root.write(QStringLiteral("miniflare/web"), entryJson("web", vite.address()));
    root.write(QStringLiteral("miniflare/jobs"), entryJson("jobs", closedAddress()));
    DevRegistryWatcher watcher;
    watcher.setFolders(
        {root.filePath(QStringLiteral("wrangler")), root.filePath(QStringLiteral("miniflare"))});
    WAIT_UNTIL(watcher.isLoaded(), 5000);
    ASSERT_EQ(watcher.entries().size(), 2);
    EXPECT_EQ(watcher.entries().first().workerName, QStringLiteral("jobs"));
    ASSERT_TRUE(watcher.liveEntry(QStringLiteral("web")));
    EXPECT_EQ(watcher.liveEntry(QStringLiteral("web"))->debugAddress, vite.address());
}
