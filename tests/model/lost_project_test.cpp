#include "server_fixture.h"

// A project whose server runs here is never lost: not when a watched scan no longer finds its
// configuration, and not when the user removes it or its root. Real watcher, real children.

using Kind = ProjectStatus::Kind;

namespace {

const QByteArray readyServer = "echo '[wrangler:info] Ready on http://localhost:18795'\n"
                               "exec sleep 60\n";

} // namespace

class LostProjectTest : public ServerTest
{
protected:
    // A project of the custom run mode under the root `sites`, found there by its
    // wrangler.jsonc.
    QString rootedServer(const QString& name)
    {
        QString folder = makeProject(name, name, QStringLiteral("wrangler.jsonc"));
        const QString script = sites.writeScript(name + QStringLiteral("/server.sh"), readyServer);
        Project server = project(folder, name, sites.path());
        server.configFile = QStringLiteral("wrangler.jsonc");
        server.runModeOverride = RunModeKind::custom;
        server.customCommand = script;
        registered.append(server);
        return folder;
    }

    std::unique_ptr<AppModel> watchingModel()
    {
        AppModelContext fast = serverContext();
        fast.watcherTiming.latency = std::chrono::milliseconds(50);
        fast.watcherTiming.debounce = std::chrono::milliseconds(50);
        saveRegistry({{sites.path()}, registered});
        auto model = std::make_unique<AppModel>(std::move(fast));
        AppSettings settings = model->settings();
        settings.watchRoots = true;
        model->setSettings(settings);
        return model;
    }

    static std::optional<QString> problem(const AppModel& model, const QString& path)
    {
        const ProjectInfo* info = model.infoFor(path);
        return info ? info->parseError : std::nullopt;
    }

    void move(const QString& from, const QString& to)
    {
        ASSERT_TRUE(QFile::rename(sites.filePath(from), sites.filePath(to)));
    }
};

TEST_F(LostProjectTest, AServerWhoseConfigurationGoesKeepsItsProjectUntilItEnds)
{
    const QString path = rootedServer(QStringLiteral("api"));
    const auto model = watchingModel();
    ASSERT_NE(model->watcher(), nullptr);
    EXPECT_EQ(model->runtimeFor(sites.filePath(QStringLiteral("elsewhere"))), nullptr)
        << "a lookup creates no run state";
    ProjectRuntime* runtime = model->runtimeFor(path);
    ASSERT_NE(runtime, nullptr);
    const QFuture<StartOutcome> outcome = model->startProject(path);
    WAIT_UNTIL(outcome.isFinished(), 15000);
    EXPECT_EQ(outcome.result(), StartOutcome::running());
    const qint32 leader = *runtime->pid();
    QSignalSpy applied(model.get(), &AppModel::scanApplied);

    // A branch switch takes the configuration away: the project stays, with a problem line.
    move(QStringLiteral("api/wrangler.jsonc"), QStringLiteral("api.jsonc"));
    WAIT_UNTIL(problem(*model, path).has_value(), 20000);
    EXPECT_TRUE(problem(*model, path)->contains(QStringLiteral("wrangler.jsonc is gone")))
        << problem(*model, path)->toStdString();
    ASSERT_TRUE(model->findProject(path).has_value());
    EXPECT_EQ(model->runtimeFor(path), runtime);
    EXPECT_EQ(kind(runtime), Kind::running);
    EXPECT_TRUE(ProcessGroups::groupAlive(leader));
    EXPECT_TRUE(savedRegistry().value("projects").toArray().size() == 1)
        << "the registry keeps it as well";

    // The file comes back first: nothing was lost, and the problem goes.
    applied.clear();
    move(QStringLiteral("api.jsonc"), QStringLiteral("api/wrangler.jsonc"));
    WAIT_UNTIL(!problem(*model, path).has_value(), 20000);
    ASSERT_TRUE(model->findProject(path).has_value());
    EXPECT_EQ(runtime->pid(), leader);
    EXPECT_EQ(kind(runtime), Kind::running);

    // Gone again, then stopped: the stop reaches the server, and the project leaves.
    move(QStringLiteral("api/wrangler.jsonc"), QStringLiteral("api.jsonc"));
    WAIT_UNTIL(problem(*model, path).has_value(), 20000);
    model->stopProject(path);
    WAIT_UNTIL(!model->findProject(path).has_value(), 15000);
    EXPECT_FALSE(ProcessGroups::groupAlive(leader));
    EXPECT_EQ(model->runtimeFor(path), nullptr);
    EXPECT_EQ(model->infoFor(path), nullptr);
    EXPECT_FALSE(runningFileExists());
    EXPECT_TRUE(savedRegistry().value("projects").toArray().isEmpty());

    // A later scan has nothing to bring back, and nothing recreates the run state.
    applied.clear();
    model->rescan();
    WAIT_UNTIL(applied.count() > 0, 10000);
    EXPECT_FALSE(model->findProject(path).has_value());
    EXPECT_FALSE(model->runtimes().contains(path));
}

TEST_F(LostProjectTest, RemovingAProjectOrARootStopsItsServersFirst)
{
    const QString rooted = rootedServer(QStringLiteral("site"));
    const QString byHand = serverProject(QStringLiteral("tool"), readyServer);
    const auto model = watchingModel();
    QFuture<StartOutcome> rootedStart = model->startProject(rooted);
    QFuture<StartOutcome> byHandStart = model->startProject(byHand);
    WAIT_UNTIL(rootedStart.isFinished() && byHandStart.isFinished(), 15000);
    ASSERT_TRUE(rootedStart.result().ok && byHandStart.result().ok);
    const qint32 rootedLeader = *model->runtimeFor(rooted)->pid();
    const qint32 byHandLeader = *model->runtimeFor(byHand)->pid();

    // Each stays listed while its server is stopped, and leaves once it has ended.
    model->removeProject(byHand);
    EXPECT_TRUE(model->findProject(byHand).has_value());
    WAIT_UNTIL(!model->findProject(byHand).has_value(), 15000);
    EXPECT_FALSE(ProcessGroups::groupAlive(byHandLeader));

    model->removeRoot(sites.path());
    EXPECT_TRUE(model->roots().isEmpty());
    EXPECT_TRUE(model->findProject(rooted).has_value());
    WAIT_UNTIL(!model->findProject(rooted).has_value(), 15000);
    EXPECT_FALSE(ProcessGroups::groupAlive(rootedLeader));
    EXPECT_TRUE(model->runtimes().isEmpty());
    EXPECT_FALSE(runningFileExists());
    EXPECT_TRUE(savedRegistry().value("projects").toArray().isEmpty());
}
