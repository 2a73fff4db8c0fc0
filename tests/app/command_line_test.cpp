#include "support/temp_folder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct ProgramRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    QJsonArray json() const { return QJsonDocument::fromJson(out).array(); }
};

// Runs the executable with no display at all, so that any use of a window system would fail.
ProgramRun runTallowmere(const QStringList& arguments, const QString& workingFolder = {})
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("none-such"));
    process.setProcessEnvironment(environment);
    if (!workingFolder.isEmpty())
        process.setWorkingDirectory(workingFolder);
    process.start(QStringLiteral(TALLOWMERE_EXECUTABLE), arguments);
    ProgramRun run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

} // namespace

TEST(CommandLineInspect, PrintsOneEntryPerPathWithConfigAndInfo)
{
    TempFolder tree;
    tree.write(QStringLiteral("ws/pnpm-lock.yaml"), "");
    tree.write(QStringLiteral("ws/app/package.json"), R"({"scripts": {"dev": "astro dev"}})");
    tree.write(QStringLiteral("ws/app/astro.config.mjs"), "");
    tree.write(QStringLiteral("ws/app/wrangler.toml"), "name = \"api\"\n");
    tree.write(QStringLiteral("ws/app/wrangler.jsonc"),
               R"({"name": "site", // the one that wins
                   "d1_databases": [{"binding": "DB", "database_name": "main"},
                                    {"binding": "LOGS"}], "vars": {"B": 1, "A": 2}})");
    tree.makeDir(QStringLiteral("empty"));

    // Relative paths are taken from the working folder and standardized.
    const ProgramRun run = runTallowmere({QStringLiteral("inspect"), QStringLiteral("./ws/app/"),
                                          QStringLiteral("empty"), QStringLiteral("missing")},
                                         tree.path());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonArray entries = run.json();
    ASSERT_EQ(entries.size(), 3) << run.out.toStdString();

    const QJsonObject app = entries.at(0).toObject();
    EXPECT_EQ(app.value("path").toString(), tree.filePath(QStringLiteral("ws/app")));
    EXPECT_EQ(app.value("configFile").toString(), QStringLiteral("wrangler.jsonc"));
    const QJsonObject info = app.value("info").toObject();
    EXPECT_EQ(info.value("workerName").toString(), QStringLiteral("site"));
    EXPECT_EQ(info.value("configKind").toString(), QStringLiteral("jsonc"));
    EXPECT_EQ(info.value("packageManager").toString(), QStringLiteral("pnpm"));
    EXPECT_EQ(info.value("packageRoot").toString(), tree.filePath(QStringLiteral("ws")));
    EXPECT_EQ(info.value("scriptRoot").toString(), tree.filePath(QStringLiteral("ws/app")));
    EXPECT_EQ(info.value("framework").toString(), QStringLiteral("Astro"));
    EXPECT_EQ(info.value("detectedMode").toString(), QStringLiteral("devScript"));
    EXPECT_EQ(info.value("hasDevScript"), QJsonValue(true));
    EXPECT_EQ(info.value("depsInstalled"), QJsonValue(false));
    EXPECT_EQ(info.value("varNames").toArray(), (QJsonArray{"A", "B"}));
    const QJsonArray bindings{QJsonObject{{"kind", "d1"}, {"name", "DB"}, {"detail", "main"}},
                              QJsonObject{{"kind", "d1"}, {"name", "LOGS"}}};
    EXPECT_EQ(info.value("bindings").toArray(), bindings);
    // Absent optional fields are left out, never null.
    for (const char* absent :
         {"parseError", "wranglerVersion", "mainEntry", "cms", "pagesOutputDir"})
        EXPECT_FALSE(info.contains(QLatin1String(absent))) << absent;

    const QJsonObject empty = entries.at(1).toObject();
    EXPECT_EQ(empty, (QJsonObject{{"path", tree.filePath(QStringLiteral("empty"))}}));
    const QJsonObject missing = entries.at(2).toObject();
    EXPECT_EQ(missing.value("path").toString(), tree.filePath(QStringLiteral("missing")));
    EXPECT_FALSE(missing.value("error").toString().isEmpty());
    EXPECT_FALSE(missing.contains("info"));
}

TEST(CommandLineInspect, ABrokenConfigurationIsReportedInsideInfo)
{
    TempFolder tree;
    tree.write(QStringLiteral("app/wrangler.toml"), "name = \n");
    const QString file = tree.write(QStringLiteral("plain-file"), "");
    const ProgramRun run = runTallowmere({QStringLiteral("inspect"), tree.filePath("app"), file});
    ASSERT_EQ(run.exitCode, 0);
    const QJsonObject info = run.json().at(0).toObject().value("info").toObject();
    EXPECT_TRUE(info.value("parseError").toString().startsWith("Couldn't parse wrangler.toml: "));
    EXPECT_EQ(info.value("detectedMode").toString(), QStringLiteral("wrangler"));
    EXPECT_EQ(run.json().at(1).toObject().value("error").toString(),
              QStringLiteral("Not a directory"));
}

TEST(CommandLineScan, PrintsTheConfigurationsOfARootSortedByFolder)
{
    TempFolder tree;
    tree.write(QStringLiteral("b/wrangler.toml"), "");
    tree.write(QStringLiteral("a/wrangler.json"), "{}");
    tree.write(QStringLiteral("a/wrangler.toml"), "");
    tree.write(QStringLiteral("a/node_modules/x/wrangler.toml"), "");
    const ProgramRun run = runTallowmere({QStringLiteral("scan"), tree.path()});
    ASSERT_EQ(run.exitCode, 0);
    const QJsonArray expected{QJsonObject{{"dir", tree.filePath("a")}, {"file", "wrangler.json"}},
                              QJsonObject{{"dir", tree.filePath("b")}, {"file", "wrangler.toml"}}};
    EXPECT_EQ(run.json(), expected);

    const ProgramRun missing = runTallowmere({QStringLiteral("scan"), tree.filePath("missing")});
    EXPECT_EQ(missing.exitCode, 0);
    EXPECT_EQ(missing.json(), QJsonArray());
    EXPECT_EQ(missing.out.trimmed(), QByteArray("[\n]"));
}

TEST(CommandLine, UsageErrorsExitWithTwoAndExplainOnStandardError)
{
    for (const QStringList& arguments :
         {QStringList{"inspect"}, QStringList{"scan"}, QStringList{"scan", "/a", "/b"}}) {
        const ProgramRun run = runTallowmere(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.contains("Usage:"));
    }
}

TEST(CommandLine, VersionHelpAndUnknownArgumentsNeedNoDisplay)
{
    const ProgramRun version = runTallowmere({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith("tallowmere ")) << version.out.toStdString();
    EXPECT_TRUE(version.out.trimmed().contains('.'));

    const ProgramRun help = runTallowmere({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("--autostart"));
    EXPECT_TRUE(help.out.contains("inspect"));

    for (const QStringList& arguments : {QStringList{"--frobnicate"}, QStringList{"frobnicate"},
                                         QStringList{"--autostart", "-x"}}) {
        const ProgramRun run = runTallowmere(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_EQ(run.err.count('\n'), 1) << "one line: " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(arguments.last().toUtf8()));
    }
}

TEST(CommandLine, TheWindowWithoutADisplaySaysSoAndExitsOne)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TALLOWMERE_EXECUTABLE), {QStringLiteral("--autostart")});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "aborted instead of explaining";
    EXPECT_EQ(process.exitCode(), 1);
    const QByteArray err = process.readAllStandardError();
    EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
    EXPECT_TRUE(err.contains("display"));
}
