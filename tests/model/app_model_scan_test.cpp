#include "base/deliver.h"
#include "discovery/project_info.h"
#include "model_fixture.h"
#include "runs/project_runtime.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>

// Scanning roots, registering single folders, inspection and the root watcher, on real
// project trees in temporary folders.

namespace {

// Runs `action` (which starts a rescan) and waits until the scan has been merged. A scan
// that is over before its continuation is attached is merged inside `action` already.
template <typename Action> bool scanned(AppModel& model, Action action)
{
    QSignalSpy applied(&model, &AppModel::scanApplied);
    action();
    return applied.count() == 1 || applied.wait(20000);
}

bool rescanned(AppModel& model)
{
    return scanned(model, [&] { model.rescan(); });
}

} // namespace

TEST_F(ModelTest, AddingARootScansItAndSavesWhatItFound)
{
    makeProject(QStringLiteral("shop/api"), QStringLiteral("shop-api"));
    makeProject(QStringLiteral("shop/web"), {}, QStringLiteral("wrangler.jsonc"));
    makeProject(QStringLiteral("shop/node_modules/dep"), QStringLiteral("dep"));
    const auto model = makeModel();

    ASSERT_TRUE(scanned(*model, [&] { model->addRoot(sites.path() + QStringLiteral("/./")); }));
    EXPECT_EQ(model->roots(), QStringList{sites.path()});
    EXPECT_FALSE(model->isScanning());

    const QList<Project> found = model->projects();
    ASSERT_EQ(found.size(), 2);
    EXPECT_EQ(found[0].path, sites.filePath(QStringLiteral("shop/api")));
    EXPECT_EQ(found[0].name, QStringLiteral("shop-api"));
    EXPECT_EQ(found[0].rootPath, sites.path());
    EXPECT_EQ(found[1].name, QStringLiteral("web")) << "no worker name: the folder's name";
    EXPECT_EQ(found[1].configFile, QStringLiteral("wrangler.jsonc"));
    EXPECT_NE(model->infoFor(found[0].path), nullptr);
    EXPECT_EQ(model->runtimes().size(), 2);
    EXPECT_EQ(savedRegistry().value(QStringLiteral("projects")).toArray().size(), 2);
    // The selection repair has picked the first listed project.
    WAIT_UNTIL(model->selection() == found[0].path, 5000);

    // The same root again, also with a trailing slash, changes nothing and scans nothing.
    QSignalSpy roots(model.get(), &AppModel::rootsChanged);
    model->addRoot(sites.path() + u'/');
    EXPECT_EQ(roots.count(), 0);
    EXPECT_FALSE(model->isScanning());
}

TEST_F(ModelTest, ASecondRescanWhileOneRunsIsIgnored)
{
    // Enough projects that the scan cannot be over before the next call.
    for (int i = 0; i < 100; ++i)
        makeProject(QStringLiteral("many/p%1").arg(i), QStringLiteral("p%1").arg(i));
    saveRegistry({{sites.path()}, {}});
    const auto model = makeModel();
    QSignalSpy applied(model.get(), &AppModel::scanApplied);
    QSignalSpy scanning(model.get(), &AppModel::isScanningChanged);

    model->rescan();
    ASSERT_TRUE(model->isScanning());
    model->rescan();
    model->rescan();
    WAIT_UNTIL(applied.count() == 1, 20000);
    EXPECT_FALSE(model->isScanning());
    // Give a wrongly queued second scan the chance to show itself.
    QTest::qWait(300);
    EXPECT_EQ(applied.count(), 1);
    EXPECT_EQ(scanning.count(), 2); // on, off
    EXPECT_EQ(model->projects().size(), 100);
}

TEST_F(ModelTest, ARootRemovedDuringItsScanStaysEmpty)
{
    for (int i = 0; i < 100; ++i)
        makeProject(QStringLiteral("p%1").arg(i), QStringLiteral("p%1").arg(i));
    const auto model = makeModel();
    ASSERT_TRUE(scanned(*model, [&] {
        model->addRoot(sites.path());
        model->removeRoot(sites.path());
    }));
    EXPECT_TRUE(model->projects().isEmpty());
    EXPECT_TRUE(model->runtimes().isEmpty());
    EXPECT_TRUE(savedRegistry().value(QStringLiteral("projects")).toArray().isEmpty());
}

TEST_F(ModelTest, RescanRenamesRemovesAndKeepsHandAddedProjects)
{
    const QString api = makeProject(QStringLiteral("api"), QStringLiteral("api"));
    const QString gone = makeProject(QStringLiteral("gone"), QStringLiteral("gone"));
    const QString byHand = makeProject(QStringLiteral("by-hand"), QStringLiteral("by-hand"));
    saveRegistry({{sites.path()}, {}});
    const auto model = makeModel();
    ASSERT_EQ(model->addProject(byHand), std::nullopt);
    ASSERT_TRUE(rescanned(*model));
    model->setFavorite(api, true);
    model->select(gone);
    ASSERT_EQ(model->projects().size(), 3);

    sites.write(QStringLiteral("api/wrangler.toml"), "name = \"api-v2\"\n");
    QFile::remove(gone + QStringLiteral("/wrangler.toml"));
    QFile::remove(byHand + QStringLiteral("/wrangler.toml"));
    ASSERT_TRUE(rescanned(*model));

    EXPECT_EQ(model->findProject(api)->name, QStringLiteral("api-v2"));
    EXPECT_TRUE(model->findProject(api)->isFavorite()) << "a known project keeps its flags";
    EXPECT_FALSE(model->findProject(gone).has_value());
    EXPECT_FALSE(model->runtimes().contains(gone));
    EXPECT_FALSE(model->infos().contains(gone));
    // A project added by hand (even inside a root) is never removed by a scan.
    EXPECT_TRUE(model->findProject(byHand).has_value());
    EXPECT_EQ(savedProject(api).value(QStringLiteral("name")).toString(), QStringLiteral("api-v2"));
    EXPECT_TRUE(savedProject(gone).isEmpty());
    // The selected project vanished: the repair selects the first listed one.
    WAIT_UNTIL(model->selection() == std::optional<QString>(api), 5000);
}

TEST_F(ModelTest, AddingAFolderByHand)
{
    const QString empty = sites.makeDir(QStringLiteral("empty"));
    const QString worker =
        makeProject(QStringLiteral("folder-name"), QStringLiteral("worker-name"));
    const auto model = makeModel();

    EXPECT_EQ(
        model->addProject(empty),
        QStringLiteral("No wrangler.toml, wrangler.json or wrangler.jsonc found in that folder."));
    EXPECT_TRUE(model->projects().isEmpty());
    EXPECT_FALSE(QFile::exists(support.filePath(QStringLiteral("registry.json"))));

    QSignalSpy infos(model.get(), &AppModel::infosChanged);
    EXPECT_EQ(model->addProject(worker + u'/'), std::nullopt);
    ASSERT_EQ(model->projects().size(), 1);
    EXPECT_EQ(model->projects()[0].path, worker);
    EXPECT_FALSE(model->projects()[0].rootPath.has_value());
    EXPECT_EQ(model->selection(), worker);
    EXPECT_NE(model->runtimes().value(worker), nullptr);
    // Inspection in the background replaces the folder's name by the worker's and saves it.
    // The inspection may even be over before refreshInfo returns.
    WAIT_UNTIL(infos.count() > 0, 10000);
    EXPECT_EQ(model->projects()[0].name, QStringLiteral("worker-name"));
    EXPECT_EQ(savedProject(worker).value(QStringLiteral("name")).toString(),
              QStringLiteral("worker-name"));

    // Adding it again while hidden makes it visible and selects it, without an error.
    model->setHidden(worker, true);
    EXPECT_EQ(model->selection(), std::nullopt);
    EXPECT_EQ(model->addProject(worker), std::nullopt);
    EXPECT_FALSE(model->projects()[0].hidden);
    EXPECT_EQ(model->selection(), worker);
    EXPECT_EQ(model->projects().size(), 1);
}

TEST_F(ModelTest, RefreshingAProjectAdoptsItsRenamedWorker)
{
    const QString path = makeProject(QStringLiteral("api"), QStringLiteral("api"));
    saveRegistry({{}, {project(path, QStringLiteral("api"))}});
    const auto model = makeModel();
    sites.write(QStringLiteral("api/wrangler.toml"), "name = \"renamed\"\n");
    QSignalSpy projects(model.get(), &AppModel::projectsChanged);
    model->refreshInfo(path);
    WAIT_UNTIL(projects.count() > 0, 10000);
    EXPECT_EQ(model->findProject(path)->name, QStringLiteral("renamed"));
    EXPECT_EQ(savedProject(path).value(QStringLiteral("name")).toString(),
              QStringLiteral("renamed"));

    // Refreshing again finds nothing new: no notification.
    QSignalSpy infos(model.get(), &AppModel::infosChanged);
    bool done = false;
    deliverTo(model.get(), model->inspectAll(), [&] { done = true; });
    WAIT_UNTIL(done, 10000);
    EXPECT_EQ(infos.count(), 0);
    EXPECT_EQ(projects.count(), 1);
}

TEST_F(ModelTest, InspectionResultsOfRemovedProjectsAreDropped)
{
    const auto model = makeModel();
    const QString folder = makeProject(QStringLiteral("ghost"), QStringLiteral("ghost"));
    QSignalSpy infos(model.get(), &AppModel::infosChanged);
    // Adding inspects in the background; the project is gone before the record comes back.
    ASSERT_EQ(model->addProject(folder), std::nullopt);
    ASSERT_TRUE(model->selection());
    model->removeProject(*model->selection());
    ASSERT_TRUE(QThreadPool::globalInstance()->waitForDone(10000));
    QCoreApplication::sendPostedEvents(); // delivers the finished inspection
    EXPECT_TRUE(model->infos().isEmpty());
    EXPECT_EQ(infos.count(), 0);
}

TEST_F(ModelTest, TheWatcherFollowsTheSettingAndTheRoots)
{
    const auto model = makeModel();
    AppSettings settings = model->settings();
    settings.watchRoots = true;
    model->setSettings(settings);
    EXPECT_EQ(model->watcher(), nullptr) << "no roots, nothing to watch";

    ASSERT_TRUE(scanned(*model, [&] { model->addRoot(sites.path()); }));
    ASSERT_NE(model->watcher(), nullptr);
    EXPECT_TRUE(model->watcher()->isWatching());

    settings.watchRoots = false;
    model->setSettings(settings);
    EXPECT_EQ(model->watcher(), nullptr);
    settings.watchRoots = true;
    model->setSettings(settings);
    ASSERT_NE(model->watcher(), nullptr);

    model->removeRoot(sites.path());
    EXPECT_EQ(model->watcher(), nullptr);
}

TEST_F(ModelTest, ANewConfigurationUnderAWatchedRootIsPickedUp)
{
    saveRegistry({{sites.path()}, {}});
    AppModelContext fast = context();
    fast.watcherTiming.latency = std::chrono::milliseconds(50);
    fast.watcherTiming.debounce = std::chrono::milliseconds(50);
    AppModel model(fast);
    // Turning the setting on starts the watcher over the loaded roots.
    AppSettings settings = model.settings();
    settings.watchRoots = true;
    model.setSettings(settings);
    ASSERT_NE(model.watcher(), nullptr);

    QSignalSpy applied(&model, &AppModel::scanApplied);
    const QString path = makeProject(QStringLiteral("deep/new-worker"), QStringLiteral("fresh"));
    WAIT_UNTIL(applied.count() > 0, 20000);
    WAIT_UNTIL(model.findProject(path).has_value(), 10000);
    EXPECT_EQ(model.findProject(path)->name, QStringLiteral("fresh"));
}
