#include "base/deliver.h"
#include "startup_fixture.h"
#include "storage/settings_file.h"

#include <QFile>
#include <QScopeGuard>

// Launch and the start-up sequence: what runs, in which order, and what demo mode leaves out.

namespace {

// Records the observable steps of a start-up in the order they reach the main thread.
QStringList* recordSteps(AppModel& model, ProjectRuntime& runtime, QStringList& steps)
{
    QObject::connect(&model, &AppModel::shellEnvLoadedChanged, &model, [&] {
        if (model.shellEnvLoaded())
            steps.append(QStringLiteral("shell"));
    });
    QObject::connect(&model, &AppModel::infosChanged, &model,
                     [&] { steps.append(QStringLiteral("inspected")); });
    QObject::connect(&runtime, &ProjectRuntime::externalChanged, &model, [&] {
        if (runtime.external())
            steps.append(QStringLiteral("external"));
    });
    QObject::connect(&model, &AppModel::bootstrapFinished, &model, [&] {
        steps.append(model.watcher() ? QStringLiteral("finished, watching")
                                     : QStringLiteral("finished"));
    });
    return &steps;
}

} // namespace

TEST_F(StartupTest, BootstrapCapturesShellThenInspectsThenFindsExternalServersThenWatches)
{
    const QString folder = registerProject();
    AppSettings settings;
    settings.watchRoots = true;
    saveSettings(settings);
    const auto server = externalWorkerd(folder);
    ASSERT_TRUE(server->ready());

    AppModel model(startupContext(fakeShell("'FROM_LOGIN_SHELL=yes'")));
    // Loading the settings cannot start the watcher: the roots come later in construction.
    ASSERT_EQ(model.watcher(), nullptr);
    ASSERT_FALSE(model.shellEnvLoaded());
    ProjectRuntime* runtime = model.runtimeFor(folder);
    QStringList steps;
    recordSteps(model, *runtime, steps);

    ASSERT_TRUE(bootstrapped(model));
    EXPECT_EQ(steps, (QStringList{"shell", "inspected", "external", "finished, watching"}));
    EXPECT_TRUE(model.shellEnvLoaded());
    EXPECT_EQ(model.rawShellEnv().value(QStringLiteral("FROM_LOGIN_SHELL")), QStringLiteral("yes"));
    ASSERT_NE(model.infoFor(folder), nullptr);
    EXPECT_TRUE(runtime->external());
    EXPECT_EQ(runtime->status(), ProjectStatus::running());
    EXPECT_EQ(runtime->url(), addressOf(*server));
    // No rescan at start-up: the registry of the previous run is what is shown.
    EXPECT_FALSE(model.isScanning());
}

TEST_F(StartupTest, WithoutWatchRootsStartUpStartsNoWatcher)
{
    registerProject();
    AppModel model(startupContext(fakeShell("'A=1'")));
    ASSERT_TRUE(bootstrapped(model));
    EXPECT_TRUE(model.shellEnvLoaded());
    EXPECT_EQ(model.watcher(), nullptr);
}

TEST_F(StartupTest, AShellThatNeverAnswersDelaysStartUpOnlyUntilTheLimit)
{
    registerProject();
    // Prints start-up noise and hangs; the capture gives up at the limit and falls back.
    AppModelContext context = startupContext(shells.writeScript("hang", "echo noise\nsleep 60\n"));
    context.shellCaptureLimit = std::chrono::milliseconds(200);
    AppModel model(std::move(context));
    ASSERT_TRUE(bootstrapped(model));
    EXPECT_TRUE(model.shellEnvLoaded());
    EXPECT_FALSE(model.rawShellEnv().value(QStringLiteral("PATH")).isEmpty())
        << "the fallback environment still has a PATH";
}

TEST_F(StartupTest, LaunchAppliesAppearanceAndTrayPolicyThenReturnsBeforeTheSequence)
{
    support.write(QStringLiteral("settings.json"),
                  R"({"appearance": "dark", "showDockIcon": false})");
    // A terminal that appears after construction is found by launch's second detection.
    TempFolder bin;
    AppModel model(startupContext(fakeShell("'A=1'"), std::chrono::hours(1),
                                  {{QStringLiteral("PATH"), bin.path()}}));
    bin.writeScript(QStringLiteral("kitty"), "exit 0\n");
    desktop.journal.clear();

    QSignalSpy finished(&model, &AppModel::bootstrapFinished);
    model.launch();
    EXPECT_EQ(desktop.journal, (QStringList{"appearance:dark", "taskbar:trayOnly"}));
    EXPECT_TRUE(std::any_of(model.installedTerminals().begin(), model.installedTerminals().end(),
                            [&](const ExternalApp& app) { return app.url.contains(bin.path()); }));
    // launch has returned; the sequence runs from the event loop.
    EXPECT_EQ(finished.count(), 0);
    EXPECT_FALSE(model.shellEnvLoaded());
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_TRUE(model.shellEnvLoaded());
}

TEST_F(StartupTest, LaunchLeavesTheTaskbarAloneWhenTheIconIsShown)
{
    AppModel model(startupContext(fakeShell("'A=1'")));
    desktop.journal.clear();
    model.launch();
    EXPECT_EQ(desktop.journal, (QStringList{"appearance:system"}));
    QSignalSpy finished(&model, &AppModel::bootstrapFinished);
    ASSERT_TRUE(finished.wait(30000));
}

TEST_F(StartupTest, TheLoginShellPathFindsEditorsAfterTheCapture)
{
    TempFolder bin;
    bin.writeScript(QStringLiteral("zed"), "exit 0\n");
    AppModel model(startupContext(fakeShell("'PATH=" + bin.path().toUtf8() + ":/usr/bin:/bin'")));
    const auto hasZed = [&] {
        return std::any_of(model.installedEditors().begin(), model.installedEditors().end(),
                           [&](const ExternalApp& app) { return app.url.startsWith(bin.path()); });
    };
    ASSERT_FALSE(hasZed()) << "the application's own PATH does not reach the folder";
    ASSERT_TRUE(bootstrapped(model));
    EXPECT_TRUE(hasZed());
}

TEST_F(StartupTest, DemoModeLoadsDemoDataAndTouchesNoShellProcessesOrFiles)
{
    const QString folder = registerProject();
    AppSettings settings;
    settings.watchRoots = true;
    saveSettings(settings);
    const QByteArray running = R"([{"pid": 1, "projectID": "/nowhere", "startSec": 1}])";
    support.write(QStringLiteral("running.json"), running);
    const auto server = externalWorkerd(folder);
    ASSERT_TRUE(server->ready());
    const QString ranMarker = shells.filePath(QStringLiteral("shell-ran"));
    const QString shell = shells.writeScript("shell", "touch '" + ranMarker.toUtf8() + "'\n");

    AppModel model(startupContext(shell, std::chrono::milliseconds(1),
                                  {{QStringLiteral("TALLOWMERE_DEMO"), QString()}}));
    QSignalSpy inspected(&model, &AppModel::infosChanged);
    ASSERT_TRUE(bootstrapped(model));

    EXPECT_EQ(model.projects().size(), 10);
    EXPECT_EQ(model.roots(), QStringList{QStringLiteral("~/Sites")});
    EXPECT_EQ(inspected.count(), 1) << "the demo records, and no inspection after them";
    const QString nimbus = support.filePath(QStringLiteral("Sites/nimbus"));
    ASSERT_NE(model.infoFor(nimbus), nullptr);
    EXPECT_EQ(model.infoFor(nimbus)->framework, QStringLiteral("Astro"));
    EXPECT_FALSE(QFile::exists(ranMarker)) << "no login shell in demo mode";
    // The demo's own shell environment stands in: the settings show neither a load that never
    // ends nor this machine's PATH.
    EXPECT_TRUE(model.shellEnvLoaded());
    EXPECT_TRUE(model.rawShellEnv()
                    .value(QStringLiteral("PATH"))
                    .startsWith(model.rawShellEnv().value(QStringLiteral("HOME"))));
    EXPECT_EQ(model.watcher(), nullptr);
    EXPECT_TRUE(desktop.alerts.shown().isEmpty()) << "no crash recovery";
    EXPECT_EQ(readWholeFile(support.filePath(QStringLiteral("running.json"))), running);
    const auto anyExternal = [&] {
        return std::any_of(model.runtimes().cbegin(), model.runtimes().cend(),
                           [](const ProjectRuntime* runtime) { return runtime->external(); });
    };
    EXPECT_EQ(model.runtimeFor(folder), nullptr) << "the registry's projects are not shown";
    EXPECT_FALSE(anyExternal()) << "no external detection";

    // The poll finds no process, and the memory refresh keeps the demo figures.
    model.windowAppeared();
    EXPECT_TRUE(model.windowVisible());
    bool refreshed = false;
    deliverTo(&model, model.refreshExternal(), [&] { refreshed = true; });
    WAIT_UNTIL(refreshed, 5000);
    EXPECT_FALSE(anyExternal());
    const QString aurora = support.filePath(QStringLiteral("Sites/aurora/api"));
    const std::optional<quint64> demoMemory = model.runtimeFor(aurora)->memoryBytes();
    ASSERT_TRUE(demoMemory.has_value());
    model.refreshUsage(aurora);
    QTest::qWait(20);
    EXPECT_EQ(model.runtimeFor(aurora)->memoryBytes(), demoMemory);
}

// A login shell whose n-th run waits for the file "gate-n" and then reports CAPTURE=run<n>, so
// that the test decides when each capture ends.
class ReloadTest : public StartupTest
{
protected:
    void SetUp() override
    {
        StartupTest::SetUp();
        const QByteArray dir = shells.path().toUtf8();
        const QString shell = shells.writeScript("shell", "echo x >> '" + dir +
                                                              "/runs'\n"
                                                              "n=$(wc -l < '" +
                                                              dir +
                                                              "/runs')\n"
                                                              "i=0; while [ ! -e '" +
                                                              dir +
                                                              "'/gate-$n ] && [ $i -lt 600 ]; do\n"
                                                              "  sleep 0.05; i=$((i+1)); done\n"
                                                              "echo __TALLOWMERE_ENV_BEGIN__\n"
                                                              "echo PATH=/usr/bin:/bin\n"
                                                              "echo CAPTURE=run$n\n"
                                                              "touch '" +
                                                              dir + "'/done-$n\n");
        open(1);
        AppModelContext context = startupContext(shell);
        context.shellCaptureLimit = std::chrono::seconds(60);
        model = std::make_unique<AppModel>(std::move(context));
    }

    void open(int run) const { shells.write(QStringLiteral("gate-%1").arg(run), {}); }
    bool finished(int run) const
    {
        return QFile::exists(shells.filePath(QStringLiteral("done-%1").arg(run)));
    }
    int runs() const
    {
        return int(readWholeFile(shells.filePath(QStringLiteral("runs"))).count('\n'));
    }
    QString capture() const { return model->rawShellEnv().value(QStringLiteral("CAPTURE")); }

    std::unique_ptr<AppModel> model;
};

TEST_F(ReloadTest, ReloadShowsLoadingUntilTheNewCaptureHasFinished)
{
    ASSERT_TRUE(bootstrapped(*model));
    ASSERT_EQ(capture(), QStringLiteral("run1"));

    QSignalSpy loaded(model.get(), &AppModel::shellEnvLoadedChanged);
    model->reloadShellEnvironment();
    EXPECT_FALSE(model->shellEnvLoaded());
    EXPECT_EQ(loaded.count(), 1);
    WAIT_UNTIL(runs() == 2, 30000);
    // The shell is running and waits: still loading, and the old environment stays in force.
    EXPECT_FALSE(model->shellEnvLoaded());
    EXPECT_EQ(capture(), QStringLiteral("run1"));

    open(2);
    WAIT_UNTIL(model->shellEnvLoaded(), 30000);
    EXPECT_EQ(capture(), QStringLiteral("run2"));
    EXPECT_EQ(loaded.count(), 2);
}

TEST_F(ReloadTest, AnOlderCaptureThatEndsLastNeverEndsTheLoadingOfANewerOne)
{
    ASSERT_TRUE(bootstrapped(*model));
    model->reloadShellEnvironment();
    WAIT_UNTIL(runs() == 2, 30000);
    model->reloadShellEnvironment();
    QSignalSpy environmentChanged(model.get(), &AppModel::rawShellEnvChanged);

    // The older capture ends first: its result is stale, the newer one is still running.
    open(2);
    WAIT_UNTIL(finished(2), 30000);
    WAIT_UNTIL(runs() == 3, 30000);
    open(3);
    WAIT_UNTIL(model->shellEnvLoaded(), 30000);
    EXPECT_EQ(capture(), QStringLiteral("run3"));
    EXPECT_EQ(environmentChanged.count(), 1) << "the stale capture was never applied";
}

TEST_F(ReloadTest, ShortWorkNeverQueuesBehindAWaitingCapture)
{
    const QString folder = makeProject(QStringLiteral("api"), QStringLiteral("api"));
    ASSERT_EQ(model->addProject(folder), std::nullopt);
    ASSERT_TRUE(bootstrapped(*model));
    // One thread of short work, as on a small machine: a capture that held it would stall
    // inspection until the shell answered.
    QThreadPool* shortWork = QThreadPool::globalInstance();
    const int threads = shortWork->maxThreadCount();
    shortWork->setMaxThreadCount(1);
    const auto restore = qScopeGuard([&] { shortWork->setMaxThreadCount(threads); });

    model->reloadShellEnvironment();
    WAIT_UNTIL(runs() == 2, 30000);
    sites.write(QStringLiteral("api/wrangler.toml"), "name = \"renamed\"\n");
    model->refreshInfo(*model->selection());
    WAIT_UNTIL(model->infoFor(*model->selection())->workerName == QStringLiteral("renamed"), 30000);
    EXPECT_FALSE(model->shellEnvLoaded()) << "the capture is still waiting for its shell";
    open(2);
    WAIT_UNTIL(model->shellEnvLoaded(), 30000);
}
