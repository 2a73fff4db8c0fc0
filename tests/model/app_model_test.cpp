#include "base/deliver.h"
#include "model_fixture.h"
#include "runs/project_runtime.h"
#include "storage/settings_file.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

// Construction, selection, and the edits of roots and projects that are not scanning.

TEST_F(ModelTest, WithoutDataFilesTheModelStartsEmpty)
{
    const auto model = makeModel();
    EXPECT_TRUE(model->roots().isEmpty());
    EXPECT_TRUE(model->projects().isEmpty());
    EXPECT_FALSE(model->selection().has_value());
    EXPECT_EQ(model->settings(), AppSettings{});
    EXPECT_FALSE(model->isDemo());
    EXPECT_FALSE(model->shellEnvLoaded());
    EXPECT_EQ(model->watcher(), nullptr);
    // Nothing changed, so nothing was written.
    EXPECT_FALSE(QFile::exists(support.filePath(QStringLiteral("settings.json"))));
    EXPECT_FALSE(QFile::exists(support.filePath(QStringLiteral("registry.json"))));
}

TEST_F(ModelTest, ConstructionLoadsRegistryCreatesRunStatesAndSkipsHiddenForSelection)
{
    Project hidden = project(QStringLiteral("/sites/aaa"), QStringLiteral("aaa"));
    hidden.hidden = true;
    saveRegistry({{QStringLiteral("/sites")},
                  {project(QStringLiteral("/sites/zed"), QStringLiteral("zed")), hidden,
                   project(QStringLiteral("/sites/beta"), QStringLiteral("beta"))}});

    const auto model = makeModel({{QStringLiteral("TALLOWMERE_DEMO"), QString()}});
    EXPECT_TRUE(model->isDemo()) << "an empty TALLOWMERE_DEMO still means demo mode";
    EXPECT_EQ(model->roots(), QStringList{QStringLiteral("/sites")});
    EXPECT_EQ(paths(model->projects()), (QStringList{"/sites/zed", "/sites/aaa", "/sites/beta"}));
    EXPECT_EQ(model->runtimes().size(), 3);
    for (const Project& project : model->projects())
        EXPECT_EQ(model->runtimes().value(project.path)->status(), ProjectStatus::stopped());
    // The hidden project sorts first but is not listed, so it is not selected.
    EXPECT_EQ(model->selection(), QStringLiteral("/sites/beta"));
    EXPECT_EQ(paths(model->visibleProjects()), (QStringList{"/sites/beta", "/sites/zed"}));
}

TEST_F(ModelTest, StoredSettingsAreAppliedAndWrittenBackNormalized)
{
    support.write(QStringLiteral("settings.json"),
                  R"({"appearance": "dark", "showDockIcon": false, "editorCommand": "code"})");
    const auto model = makeModel();
    EXPECT_EQ(model->settings().appearance, AppearanceMode::dark);
    EXPECT_FALSE(model->settings().showDockIcon);
    EXPECT_EQ(model->settings().editorCommand, QString());
    // Applied like any change: appearance, then the taskbar policy and bringing to front.
    EXPECT_EQ(desktop.journal,
              (QStringList{"appearance:dark", "taskbar:trayOnly", "bringToFront"}));
    const auto saved = decodeSettings(readWholeFile(support.filePath("settings.json")));
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(*saved, model->settings());
    EXPECT_TRUE(
        readWholeFile(support.filePath("settings.json")).contains("\"editorCommand\" : \"\""));
}

TEST_F(ModelTest, SettingsChangesApplyOnlyWhatChangedAndSave)
{
    const auto model = makeModel();
    QSignalSpy changed(model.get(), &AppModel::settingsChanged);
    AppSettings settings = model->settings();
    model->setSettings(settings);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_TRUE(desktop.journal.isEmpty());

    settings.nodePath = QStringLiteral("/opt/node/bin");
    model->setSettings(settings);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_TRUE(desktop.journal.isEmpty()) << "a path change needs no desktop action";
    EXPECT_EQ(loadSettings(), settings);

    settings.showDockIcon = false;
    model->setSettings(settings);
    settings.appearance = AppearanceMode::light;
    model->setSettings(settings);
    EXPECT_EQ(desktop.journal,
              (QStringList{"taskbar:trayOnly", "bringToFront", "appearance:light"}));
    EXPECT_EQ(loadSettings(), settings);
}

TEST_F(ModelTest, InDemoModeSettingsApplyButAreNotSavedAndNothingIsInspected)
{
    const QString real = makeProject(QStringLiteral("real"), QStringLiteral("real"));
    saveRegistry({{}, {project(real, QStringLiteral("real"))}});
    const auto model = makeModel({{QStringLiteral("TALLOWMERE_DEMO"), QStringLiteral("1")}});
    AppSettings settings = model->settings();
    settings.showDockIcon = false;
    settings.appearance = AppearanceMode::dark;
    model->setSettings(settings);
    EXPECT_EQ(model->settings(), settings);
    EXPECT_EQ(desktop.journal, (QStringList{"appearance:dark", "bringToFront"}));
    EXPECT_FALSE(QFile::exists(support.filePath(QStringLiteral("settings.json"))));

    // Nothing on disk is looked at in demo mode.
    bool inspected = false;
    deliverTo(model.get(), model->inspectAll(), [&] { inspected = true; });
    WAIT_UNTIL(inspected, 5000);
    model->refreshInfo(real);
    // A rescan would walk the roots on disk and replace what is shown: it does nothing.
    const QList<Project> before = model->projects();
    model->rescan();
    QTest::qWait(300);
    EXPECT_FALSE(model->isScanning());
    EXPECT_TRUE(model->infos().isEmpty());
    EXPECT_EQ(model->projects(), before);
}

TEST_F(ModelTest, FieldsNotifyOnlyOnRealChanges)
{
    const auto model = makeModel();
    QSignalSpy tab(model.get(), &AppModel::selectedTabChanged);
    QSignalSpy hidden(model.get(), &AppModel::showHiddenChanged);
    QSignalSpy selection(model.get(), &AppModel::selectionChanged);

    model->setSelectedTab(DetailTab::overview);
    model->setShowHidden(false);
    model->select(std::nullopt);
    EXPECT_EQ(tab.count() + hidden.count() + selection.count(), 0);

    model->setSelectedTab(DetailTab::logs);
    model->setSelectedTab(DetailTab::logs);
    model->setShowHidden(true);
    model->select(QStringLiteral("/nowhere"));
    model->select(QStringLiteral("/nowhere"));
    EXPECT_EQ(tab.count(), 1);
    EXPECT_EQ(hidden.count(), 1);
    EXPECT_EQ(selection.count(), 1);
}

TEST_F(ModelTest, EveryRegisteredProjectHasOneRunStateAndNothingElseHasOne)
{
    saveRegistry({{}, {project(QStringLiteral("/x"), QStringLiteral("x"))}});
    const auto model = makeModel();
    ProjectRuntime* first = model->runtimeFor(QStringLiteral("/x"));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(model->runtimeFor(QStringLiteral("/x")), first);
    EXPECT_TRUE(first->log()->lines().isEmpty());
    EXPECT_EQ(model->runtimeFor(QStringLiteral("/y")), nullptr);
    EXPECT_EQ(model->runtimes().keys(), QStringList{QStringLiteral("/x")})
        << "a lookup of an unknown path creates nothing";
}

TEST_F(ModelTest, EditsAreSavedWithFavouriteRemovedAndOverridesCleared)
{
    const QString path = QStringLiteral("/sites/api");
    saveRegistry({{}, {project(path, QStringLiteral("api"))}});
    const auto model = makeModel();
    QSignalSpy projects(model.get(), &AppModel::projectsChanged);

    model->setFavorite(path, true);
    EXPECT_EQ(savedProject(path).value(QStringLiteral("favorite")), QJsonValue(true));
    model->setFavorite(path, false);
    EXPECT_FALSE(savedProject(path).contains(QStringLiteral("favorite")));
    EXPECT_FALSE(model->findProject(path)->favorite.has_value());

    model->setRunModeOverride(path, RunModeKind::devScript);
    model->setCustomCommand(path, QStringLiteral("make dev"));
    model->setPort(path, 8801);
    EXPECT_EQ(savedProject(path).value(QStringLiteral("runModeOverride")).toString(),
              QStringLiteral("devScript"));
    EXPECT_EQ(savedProject(path).value(QStringLiteral("customCommand")).toString(),
              QStringLiteral("make dev"));
    EXPECT_EQ(savedProject(path).value(QStringLiteral("port")).toInt(), 8801);

    model->setRunModeOverride(path, std::nullopt);
    model->setCustomCommand(path, std::nullopt);
    model->setPort(path, std::nullopt);
    const QJsonObject saved = savedProject(path);
    for (const char* key : {"runModeOverride", "customCommand", "port", "rootPath"})
        EXPECT_FALSE(saved.contains(QLatin1String(key))) << key;
    EXPECT_EQ(projects.count(), 8);

    // Setting a value it already has notifies nothing; an unknown path does nothing at all.
    model->setPort(path, std::nullopt);
    model->setHidden(QStringLiteral("/elsewhere"), true);
    EXPECT_EQ(projects.count(), 8);
}

TEST_F(ModelTest, HidingTheSelectedProjectMovesTheSelection)
{
    saveRegistry({{},
                  {project(QStringLiteral("/s/alpha"), QStringLiteral("alpha")),
                   project(QStringLiteral("/s/beta"), QStringLiteral("beta"))}});
    const auto model = makeModel();
    ASSERT_EQ(model->selection(), QStringLiteral("/s/alpha"));
    model->setHidden(QStringLiteral("/s/alpha"), true);
    EXPECT_EQ(model->selection(), QStringLiteral("/s/beta"));
    EXPECT_TRUE(savedProject(QStringLiteral("/s/alpha")).value(QStringLiteral("hidden")).toBool());

    // With hidden projects shown, hiding may select the same project again.
    model->setShowHidden(true);
    model->select(QStringLiteral("/s/alpha"));
    model->setHidden(QStringLiteral("/s/beta"), true);
    EXPECT_EQ(model->selection(), QStringLiteral("/s/alpha"));
    model->setHidden(QStringLiteral("/s/alpha"), true);
    EXPECT_EQ(model->selection(), QStringLiteral("/s/alpha"));
}

TEST_F(ModelTest, RemovingARootKeepsHandAddedProjectsAndRepairsTheSelection)
{
    const QString root = QStringLiteral("/sites");
    const QString other = QStringLiteral("/work");
    saveRegistry({{root, other},
                  {project(QStringLiteral("/sites/a"), QStringLiteral("a"), root),
                   project(QStringLiteral("/sites/b"), QStringLiteral("b")),
                   project(QStringLiteral("/work/c"), QStringLiteral("c"), other)}});
    const auto model = makeModel();
    ASSERT_EQ(model->selection(), QStringLiteral("/sites/a"));
    QSignalSpy roots(model.get(), &AppModel::rootsChanged);

    model->removeRoot(QStringLiteral("/nope"));
    EXPECT_EQ(roots.count(), 0);
    model->removeRoot(root);
    EXPECT_EQ(model->roots(), QStringList{other});
    EXPECT_EQ(paths(model->projects()), (QStringList{"/sites/b", "/work/c"}));
    EXPECT_FALSE(model->runtimes().contains(QStringLiteral("/sites/a")));
    EXPECT_EQ(model->selection(), QStringLiteral("/sites/b"));
    const QJsonObject saved = savedRegistry();
    EXPECT_EQ(saved.value(QStringLiteral("roots")).toArray().size(), 1);
    EXPECT_EQ(saved.value(QStringLiteral("projects")).toArray().size(), 2);

    // A root the list no longer holds still takes its projects with it.
    saveRegistry({{},
                  {project(QStringLiteral("/old/d"), QStringLiteral("d"), QStringLiteral("/old")),
                   project(QStringLiteral("/work/e"), QStringLiteral("e"))}});
    const auto stale = makeModel();
    stale->removeRoot(QStringLiteral("/old"));
    EXPECT_EQ(paths(stale->projects()), QStringList{QStringLiteral("/work/e")});
    EXPECT_EQ(savedRegistry().value(QStringLiteral("projects")).toArray().size(), 1);
}

TEST_F(ModelTest, OnlyHandAddedProjectsCanBeRemoved)
{
    saveRegistry(
        {{QStringLiteral("/sites")},
         {project(QStringLiteral("/sites/a"), QStringLiteral("a"), QStringLiteral("/sites")),
          project(QStringLiteral("/x/b"), QStringLiteral("b"))}});
    const auto model = makeModel();
    model->removeProject(QStringLiteral("/sites/a"));
    EXPECT_EQ(model->projects().size(), 2) << "a scanned project would come back";
    model->select(QStringLiteral("/x/b"));
    model->removeProject(QStringLiteral("/x/b"));
    EXPECT_EQ(paths(model->projects()), QStringList{"/sites/a"});
    EXPECT_FALSE(model->runtimes().contains(QStringLiteral("/x/b")));
    EXPECT_EQ(model->selection(), QStringLiteral("/sites/a"));
    EXPECT_EQ(savedRegistry().value(QStringLiteral("projects")).toArray().size(), 1);
}

TEST_F(ModelTest, DisplayNamesAndLinksGoThroughTheRegistry)
{
    saveRegistry({{},
                  {project(QStringLiteral("/s/aurora/api"), QStringLiteral("api")),
                   project(QStringLiteral("/s/ember/api"), QStringLiteral("api")),
                   project(QStringLiteral("/s/web"), QStringLiteral("web"))}});
    const auto model = makeModel();
    EXPECT_EQ(model->displayName(*model->findProject(QStringLiteral("/s/ember/api"))),
              QStringLiteral("api  (ember/api)"));
    EXPECT_EQ(model->displayName(*model->findProject(QStringLiteral("/s/web"))),
              QStringLiteral("web"));
    EXPECT_EQ(model->projectLinks(QStringLiteral("/s/web")).size(), 1);
    EXPECT_FALSE(model->findProject(QStringLiteral("/s/none")).has_value());
}
