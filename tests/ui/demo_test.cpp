#include "model/demo_data.h"
#include "runs/project_runtime.h"
#include "ui/support/gui_fixture.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

const QString home = QStringLiteral("/home/demo");

QString demoPath(const char* folder)
{
    return home + QLatin1String(folder);
}

QMap<QString, QString> demoEnvironment(const QMap<QString, QString>& extra = {})
{
    QMap<QString, QString> environment = extra;
    environment.insert(QStringLiteral("TALLOWMERE_DEMO"), QString());
    return environment;
}

} // namespace

TEST(DemoData, TenEntriesInOrderWithTheirFixedFacts)
{
    const auto& entries = DemoData::entries();
    ASSERT_EQ(entries.size(), 10);
    QStringList names;
    for (const auto& entry : entries) {
        names << entry.name;
        EXPECT_TRUE(entry.folder.startsWith(QStringLiteral("~/Sites/")))
            << entry.name.toStdString();
        EXPECT_EQ(entry.wrangler, QStringLiteral("4.147.0"));
        EXPECT_EQ(entry.date, QStringLiteral("2026-07-11"));
        const bool toml = entry.name == QStringLiteral("pixel-forge") ||
                          entry.name == QStringLiteral("meridian-docs");
        EXPECT_EQ(entry.config,
                  toml ? QStringLiteral("wrangler.toml") : QStringLiteral("wrangler.jsonc"));
    }
    EXPECT_EQ(names, (QStringList{"aurora-api", "nimbus-journal", "lumen-checkout", "quartz-search",
                                  "pixel-forge", "tidepool-analytics", "ember-auth", "orbit-queue",
                                  "meridian-docs", "halcyon-gateway"}));

    const QStringList aurora = DemoData::logLines(entries[0]);
    ASSERT_EQ(aurora.size(), 20);
    EXPECT_EQ(aurora.first(),
              QStringLiteral("▶ pnpm exec wrangler dev --port 8787 --inspector-port 9230"));
    EXPECT_EQ(aurora.last(), QStringLiteral("[wrangler:info] GET /healthz 200 OK (2ms)"));
    EXPECT_EQ(DemoData::logLines(entries[1]),
              (QStringList{"▶ ready", "[wrangler:info] Ready on http://localhost:4321"}));
    // No port: the ready line names 8787.
    EXPECT_EQ(DemoData::logLines(entries[4]).last(),
              QStringLiteral("[wrangler:info] Ready on http://localhost:8787"));
}

TEST(DemoData, TabVariableIsMatchedIgnoringLetterCase)
{
    EXPECT_EQ(DemoData::tabFromVariable(QStringLiteral("logs")), DetailTab::logs);
    EXPECT_EQ(DemoData::tabFromVariable(QStringLiteral("LOGS")), DetailTab::logs);
    EXPECT_EQ(DemoData::tabFromVariable(QStringLiteral("eXplorer")), DetailTab::explorer);
    EXPECT_EQ(DemoData::tabFromVariable(QStringLiteral("log")), std::nullopt);
    EXPECT_EQ(DemoData::tabFromVariable(QString()), std::nullopt);
}

TEST(LoadDemo, FillsProjectsRunStatesAndTheConflictWithoutWritingFiles)
{
    GuiFixture fixture({}, demoEnvironment());
    AppModel& model = fixture.model();
    loadDemo(model, demoEnvironment(), home);

    ASSERT_EQ(model.projects().size(), 10);
    EXPECT_EQ(model.roots(), QStringList{QStringLiteral("~/Sites")});
    const Project& aurora = model.projects()[0];
    EXPECT_EQ(aurora.path, demoPath("/Sites/aurora/api"));
    EXPECT_EQ(aurora.rootPath, demoPath("/Sites/aurora"));
    EXPECT_EQ(aurora.favorite, std::optional<bool>(true));
    EXPECT_EQ(model.projects()[1].favorite, std::nullopt); // absent, not false
    EXPECT_TRUE(model.findProject(demoPath("/Sites/meridian-docs"))->isFavorite());

    ProjectRuntime* auroraRun = model.runtimeFor(aurora.path);
    EXPECT_EQ(auroraRun->status(), ProjectStatus::running());
    EXPECT_EQ(auroraRun->url(), QUrl(QStringLiteral("http://localhost:8787")));
    // 184.6 MB of binary megabytes, truncated.
    EXPECT_EQ(auroraRun->memoryBytes(), quint64(184.6 * 1048576.0));
    EXPECT_EQ(auroraRun->log()->lines().size(), 20);

    const QString orbit = demoPath("/Sites/orbit");
    EXPECT_EQ(model.runtimeFor(orbit)->status(),
              ProjectStatus::error(QStringLiteral("Exited with code 1")));
    EXPECT_EQ(model.runtimeFor(orbit)->portConflict(),
              (PortConflict{8787, aurora.path, QStringLiteral("aurora-api")}));
    EXPECT_EQ(model.runtimeFor(demoPath("/Sites/pixel-forge"))->url(), std::nullopt);

    const ProjectInfo* nimbus = model.infoFor(demoPath("/Sites/nimbus"));
    ASSERT_NE(nimbus, nullptr);
    EXPECT_EQ(nimbus->framework, QStringLiteral("Astro"));
    EXPECT_EQ(nimbus->cms, QStringLiteral("EmDash"));
    EXPECT_EQ(model.projectLinks(demoPath("/Sites/nimbus")).size(), 2);

    // The first visible project is selected: alphabetical order puts aurora-api first.
    EXPECT_EQ(model.selection(), aurora.path);
    EXPECT_FALSE(QFileInfo::exists(fixture.support().file(QStringLiteral("registry.json"))));
    EXPECT_FALSE(QFileInfo::exists(fixture.support().file(QStringLiteral("settings.json"))));
}

TEST(LoadDemo, HonoursTheTabAndProjectVariablesAndIgnoresUnknownValues)
{
    {
        const auto env = demoEnvironment(
            {{QStringLiteral("TALLOWMERE_DEMO_TAB"), QStringLiteral("LOGS")},
             {QStringLiteral("TALLOWMERE_DEMO_PROJECT"), QStringLiteral("orbit-queue")}});
        GuiFixture fixture({}, env);
        loadDemo(fixture.model(), env, home);
        EXPECT_EQ(fixture.model().selectedTab(), DetailTab::logs);
        EXPECT_EQ(fixture.model().selection(), demoPath("/Sites/orbit"));
    }
    {
        const auto env = demoEnvironment(
            {{QStringLiteral("TALLOWMERE_DEMO_TAB"), QStringLiteral("nope")},
             {QStringLiteral("TALLOWMERE_DEMO_PROJECT"), QStringLiteral("Orbit-Queue")}});
        GuiFixture fixture({}, env);
        loadDemo(fixture.model(), env, home);
        EXPECT_EQ(fixture.model().selectedTab(), DetailTab::overview);
        EXPECT_EQ(fixture.model().selection(), demoPath("/Sites/aurora/api"));
    }
}
