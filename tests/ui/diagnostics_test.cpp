#include "desktop/autostart_login_item.h"
#include "model/demo_data.h"
#include "runs/project_runtime.h"
#include "support/run_state_access.h"
#include "support/wait_until.h"
#include "ui/about/app_icon_art.h"
#include "ui/diagnostics/diagnostics_runner.h"
#include "ui/diagnostics/icon_export.h"
#include "ui/diagnostics/launch_plan.h"
#include "ui/diagnostics/start_report.h"
#include "ui/main_window.h"
#include "ui/settings/settings_window.h"
#include "ui/support/gui_fixture.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

QMap<QString, QString> env(std::initializer_list<std::pair<QString, QString>> pairs)
{
    QMap<QString, QString> result;
    for (const auto& [key, value] : pairs)
        result.insert(key, value);
    return result;
}

DiagnosticsTiming quick()
{
    DiagnosticsTiming timing;
    timing.waitChecks = 3;
    timing.checkInterval = 5ms;
    timing.reportDelay = 5ms;
    timing.attachDelay = 5ms;
    timing.settleDelay = 5ms;
    timing.tabDelay = 5ms;
    return timing;
}

// A demo model with a main window, and a runner whose exit code is recorded.
struct DemoRun
{
    explicit DemoRun(const QMap<QString, QString>& variables, bool withWindow = true)
        : fixture({}, variables)
    {
        loadDemo(fixture.model(), variables, QStringLiteral("/home/demo"));
        if (withWindow)
            window = std::make_unique<MainWindow>(fixture.ui());
        DiagnosticsRunner::Hooks hooks;
        hooks.mainWindow = [this]() -> QWidget* { return window.get(); };
        hooks.exit = [this](int code) { exitCode = code; };
        hooks.settingsWindow = [this]() -> QWidget* {
            settings = std::make_unique<SettingsWindow>(fixture.ui(), login, SettingsChoosers{});
            settings->show();
            return settings.get();
        };
        runner = std::make_unique<DiagnosticsRunner>(fixture.model(), fixture.theme(),
                                                     DiagnosticsPlan::fromEnvironment(variables),
                                                     hooks, quick());
    }

    GuiFixture fixture;
    std::unique_ptr<MainWindow> window;
    AutostartLoginItem login{AutostartEntry(QStringLiteral("/nonexistent/autostart")),
                             QStringLiteral("/bin/true")};
    std::unique_ptr<SettingsWindow> settings;
    std::unique_ptr<DiagnosticsRunner> runner;
    std::optional<int> exitCode;
};

} // namespace

TEST(LaunchPlan, ReadsTheChecksInTheirOrder)
{
    EXPECT_TRUE(LaunchPlan::fromEnvironment(env({{"XCTestConfigurationFilePath", ""}})).inert);
    const LaunchPlan none = LaunchPlan::fromEnvironment({});
    EXPECT_FALSE(none.inert);
    EXPECT_FALSE(none.policy);
    EXPECT_FALSE(none.iconFolder);

    EXPECT_EQ(LaunchPlan::fromEnvironment(env({{"TALLOWMERE_DEBUG_SNAPSHOT", "/tmp/x"}})).policy,
              TaskbarPolicy::trayOnly);
    EXPECT_EQ(LaunchPlan::fromEnvironment(
                  env({{"TALLOWMERE_DEBUG_SNAPSHOT", "/tmp/x"}, {"TALLOWMERE_DEBUG_ACTIVE", ""}}))
                  .policy,
              TaskbarPolicy::shown);
    // The start-and-report check comes later and wins.
    EXPECT_EQ(LaunchPlan::fromEnvironment(
                  env({{"TALLOWMERE_DEBUG_SNAPSHOT", "/tmp/x"}, {"TALLOWMERE_DEBUG_START", "api"}}))
                  .policy,
              TaskbarPolicy::prohibited);

    EXPECT_EQ(LaunchPlan::fromEnvironment(env({{"TALLOWMERE_WIDTH", "1400"}})).windowWidth, 1400);
    EXPECT_EQ(LaunchPlan::fromEnvironment(env({{"TALLOWMERE_WIDTH", "wide"}})).windowWidth,
              std::nullopt);
    EXPECT_EQ(LaunchPlan::fromEnvironment(env({{"TALLOWMERE_WIDTH", "-5"}})).windowWidth,
              std::nullopt);
}

TEST(LaunchPlan, SnapshotSizeFallsBackUnlessTwoUsableNumbers)
{
    EXPECT_EQ(parseSize(QStringLiteral("1440x900")), QSize(1440, 900));
    EXPECT_EQ(parseSize(QStringLiteral("1440.4x900.6")), QSize(1440, 901));
    for (const char* bad :
         {"1440", "1440x", "x900", "1440x900x2", "axb", "0x900", "-10x900", "99999x10"})
        EXPECT_EQ(parseSize(QString::fromLatin1(bad)), std::nullopt) << bad;
    EXPECT_EQ(
        DiagnosticsPlan::fromEnvironment(env({{"TALLOWMERE_DEBUG_SIZE", "big"}})).snapshotSize,
        QSize(1180, 780));
    // Only exactly "dark" is dark.
    EXPECT_TRUE(DiagnosticsPlan::fromEnvironment(env({{"TALLOWMERE_DEBUG_SCHEME", "dark"}})).dark);
    EXPECT_FALSE(DiagnosticsPlan::fromEnvironment(env({{"TALLOWMERE_DEBUG_SCHEME", "Dark"}})).dark);
    // Start-and-report needs both variables.
    EXPECT_FALSE(
        DiagnosticsPlan::fromEnvironment(env({{"TALLOWMERE_DEBUG_START", "a"}})).startAndReport());
}

TEST(StartReport, ListsModeStatusAddressLinksAndTheLast25LogLines)
{
    GuiFixture fixture({}, env({{"TALLOWMERE_DEMO", ""}}));
    loadDemo(fixture.model(), env({{"TALLOWMERE_DEMO", ""}}), QStringLiteral("/home/demo"));
    const QString nimbus = QStringLiteral("/home/demo/Sites/nimbus");
    ProjectRuntime* runtime = fixture.model().runtimeFor(nimbus);
    for (int i = 0; i < 30; ++i)
        runtime->log()->append(QStringLiteral("line %1").arg(i), false);

    const QStringList lines = startReport(fixture.model(), nimbus).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 5 + 25);
    EXPECT_EQ(lines[0], QStringLiteral("mode: Project dev script"));
    EXPECT_EQ(lines[1], QStringLiteral("status: Running"));
    EXPECT_EQ(lines[2], QStringLiteral("url: http://localhost:4321"));
    EXPECT_EQ(lines[3], QStringLiteral("links: [\"http://localhost:4321/\", "
                                       "\"http://localhost:4321/_emdash/admin\"]"));
    EXPECT_EQ(lines[4], QStringLiteral("--- log"));
    EXPECT_EQ(lines[5], QStringLiteral("line 5"));
    EXPECT_EQ(lines.last(), QStringLiteral("line 29"));

    const QString orbit = QStringLiteral("/home/demo/Sites/orbit");
    RunStateTestAccess::setStatus(
        *fixture.model().runtimeFor(QStringLiteral("/home/demo/Sites/ember/auth")),
        ProjectStatus::starting());
    const QStringList failed = startReport(fixture.model(), orbit).split(QLatin1Char('\n'));
    EXPECT_EQ(failed[1], QStringLiteral("status: Error: Exited with code 1"));
    EXPECT_EQ(failed[2], QStringLiteral("url: nil"));
    EXPECT_EQ(failed[3], QStringLiteral("links: [\"http://none/\"]"));
    EXPECT_EQ(failed.size(), 7); // both log lines
    EXPECT_EQ(startReport(fixture.model(), QStringLiteral("/home/demo/Sites/ember/auth"))
                  .split(QLatin1Char('\n'))[1],
              QStringLiteral("status: Starting…"));
}

TEST(StartAndReportRun, WritesProjectNotFoundAndExitsWith1)
{
    TempFolder folder;
    const QString out = folder.filePath(QStringLiteral("report.txt"));
    DemoRun run(env({{"TALLOWMERE_DEMO", ""},
                     {"TALLOWMERE_DEBUG_START", "no-such-project"},
                     {"TALLOWMERE_DEBUG_OUT", out}}),
                false);
    run.runner->run();
    WAIT_UNTIL(run.exitCode.has_value(), 10000);
    EXPECT_EQ(*run.exitCode, 1);
    QFile file(out);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("project not found"));
}

TEST(ScreenshotRun, WritesTheFourTabsInOrderAndExitsWith0)
{
    TempFolder folder;
    const QString shots = folder.filePath(QStringLiteral("shots/nested"));
    DemoRun run(env({{"TALLOWMERE_DEMO", ""},
                     {"TALLOWMERE_DEBUG_SNAPSHOT", shots},
                     {"TALLOWMERE_DEBUG_SCHEME", "dark"},
                     {"TALLOWMERE_DEBUG_PROJECT", "quartz-search"},
                     {"TALLOWMERE_DEBUG_SIZE", "900x600"}}));
    run.runner->run();
    WAIT_UNTIL(run.exitCode.has_value(), 20000);
    EXPECT_EQ(*run.exitCode, 0);
    QStringList names;
    for (const QString& file : run.runner->pictures())
        names << QFileInfo(file).fileName();
    EXPECT_EQ(names, (QStringList{"dark-overview.png", "dark-traffic-card.png", "dark-logs.png",
                                  "dark-logs-find.png", "dark-explorer.png", "dark-settings.png",
                                  "dark-settings-window.png", "dark-settings-window-all.png"}));
    const QImage picture(QDir(shots).filePath(QStringLiteral("dark-logs.png")));
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size() / picture.devicePixelRatio(), QSize(900, 600));
    // The dark log background fills the detail area's far corner.
    EXPECT_EQ(picture.pixelColor(picture.width() - 3, picture.height() - 3),
              QColor(QStringLiteral("#101010")));
    EXPECT_EQ(run.fixture.model().selection(), QStringLiteral("/home/demo/Sites/quartz"));
    EXPECT_TRUE(run.fixture.theme().isDark());
}

TEST(ScreenshotRun, ExitsWith1WithoutTheProjectAnd2WithoutAWindow)
{
    TempFolder folder;
    {
        DemoRun run(env({{"TALLOWMERE_DEMO", ""},
                         {"TALLOWMERE_DEBUG_SNAPSHOT", folder.path()},
                         {"TALLOWMERE_DEBUG_PROJECT", "missing"}}));
        run.runner->run();
        WAIT_UNTIL(run.exitCode.has_value(), 10000);
        EXPECT_EQ(*run.exitCode, 1);
    }
    {
        DemoRun run(env({{"TALLOWMERE_DEMO", ""},
                         {"TALLOWMERE_DEBUG_SNAPSHOT", folder.path()},
                         {"TALLOWMERE_DEBUG_PROJECT", "ember-auth"}}),
                    false);
        run.runner->run();
        WAIT_UNTIL(run.exitCode.has_value(), 10000);
        EXPECT_EQ(*run.exitCode, 2);
        EXPECT_TRUE(run.runner->pictures().isEmpty());
    }
}

TEST(IconExport, Writes1024PixelIconWithTransparentCorners)
{
    TempFolder folder;
    const QString target = folder.filePath(QStringLiteral("a/b"));
    exportIcon(target);
    const QImage icon(QDir(target).filePath(QStringLiteral("icon-1024.png")));
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.size(), QSize(1024, 1024));
    EXPECT_EQ(icon.pixelColor(2, 2).alpha(), 0);
    // The tile is red, the cloud in its middle white.
    const QColor tile = icon.pixelColor(200, 600);
    EXPECT_GT(tile.red(), 200);
    EXPECT_LT(tile.green(), 140);
    // The white cloud outline crosses the middle row.
    int white = 0;
    for (int x = 300; x < 724; ++x) {
        const QColor c = icon.pixelColor(x, 470);
        white += c.red() > 235 && c.green() > 235 && c.blue() > 235;
    }
    EXPECT_GT(white, 10);
    EXPECT_FALSE(QFileInfo::exists(QDir(target).filePath(QStringLiteral("error.txt"))));

    // The icon theme's files: every installed size at its size, and an SVG that draws the tile.
    for (const int side : {16, 24, 32, 48, 64, 128, 256, 512}) {
        const QString size = QString::number(side) + u'x' + QString::number(side);
        const QImage themed(
            QDir(target).filePath(QStringLiteral("hicolor/") + size +
                                  QStringLiteral("/apps/com.tallowmere.Tallowmere.png")));
        EXPECT_EQ(themed.size(), QSize(side, side)) << side;
    }
    QFile svg(QDir(target).filePath(
        QStringLiteral("hicolor/scalable/apps/com.tallowmere.Tallowmere.svg")));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    const QByteArray svgText = svg.readAll();
    EXPECT_TRUE(svgText.contains("<svg")) << "not an SVG document";
    EXPECT_TRUE(svgText.contains("viewBox=\"0 0 1024 1024\""));
    EXPECT_TRUE(svgText.contains("<path")) << "the tile and the cloud are vector paths";
}

TEST(ScreenshotRun, AProjectWithEnvironmentsAddsTheOpenEnvironmentPicker)
{
    TempFolder folder;
    DemoRun run(env({{"TALLOWMERE_DEMO", ""},
                     {"TALLOWMERE_DEBUG_SNAPSHOT", folder.path()},
                     {"TALLOWMERE_DEBUG_PROJECT", "halcyon-gateway"}}));
    run.runner->run();
    WAIT_UNTIL(run.exitCode.has_value(), 20000);
    EXPECT_EQ(*run.exitCode, 0);
    QStringList names;
    for (const QString& file : run.runner->pictures())
        names << QFileInfo(file).fileName();
    EXPECT_EQ(names.mid(4, 2), (QStringList{"light-settings.png", "light-environment-picker.png"}));
    EXPECT_FALSE(QImage(folder.filePath(QStringLiteral("light-environment-picker.png"))).isNull());
}
