#include "discovery/config/config_parser.h"
#include "discovery/config/parsed_config.h"
#include "discovery/dev_command.h"
#include "discovery/project_reader.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QFile>

#include <dirent.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

Project projectAt(const QString& path, const QString& configFile)
{
    Project project;
    project.path = path;
    project.configFile = configFile;
    project.name = QStringLiteral("provisional");
    return project;
}

} // namespace

TEST(InspectProject, CopiesTheParsedConfigurationOfEveryCorpusFile)
{
    const QDir corpus(QStringLiteral(TALLOWMERE_CORPUS_DIR "/wrangler-configs"));
    const QStringList folders = corpus.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_GE(folders.size(), 80);
    int parsed = 0;
    for (const QString& folder : folders) {
        const QString path = corpus.filePath(folder);
        const QString file = QDir(path).entryList(QDir::Files).value(0);
        const ProjectInfo info = inspectProject(projectAt(path, file));
        const ConfigParseResult expected = parseConfigUtf8(
            readWholeFile(path + QStringLiteral("/") + file), configKindForFile(file));
        SCOPED_TRACE(folder.toStdString());
        EXPECT_EQ(info.configKind, configKindForFile(file));
        if (!expected.ok()) {
            ASSERT_TRUE(info.parseError.has_value());
            EXPECT_EQ(*info.parseError, QStringLiteral("Couldn't parse ") + file +
                                            QStringLiteral(": ") + expected.error->description);
            EXPECT_FALSE(info.workerName || info.mainEntry || info.compatibilityDate ||
                         info.pagesOutputDir);
            continue;
        }
        ++parsed;
        const ParsedConfig config = extractConfig(expected.tree);
        EXPECT_FALSE(info.parseError.has_value());
        EXPECT_EQ(info.workerName, config.workerName);
        EXPECT_EQ(info.mainEntry, config.main);
        EXPECT_EQ(info.compatibilityDate, config.compatibilityDate);
        EXPECT_EQ(info.pagesOutputDir, config.pagesOutputDir);
        EXPECT_EQ(info.bindings, config.bindings);
        EXPECT_EQ(info.varNames, config.varNames);
    }
    EXPECT_GE(parsed, 80);
}

TEST(InspectProject, AConfigurationThatFailsStillGivesPackageDataAndAMode)
{
    TempFolder tree;
    const QString app = tree.makeDir(QStringLiteral("a/b/c/d/app"));
    tree.write(QStringLiteral("a/b/c/d/app/wrangler.jsonc"),
               "{\n  \"name\": \"broken\",\n  \"pages_build_output_dir\": \n}\n");
    tree.write(QStringLiteral("a/b/c/d/app/package.json"), R"({"scripts": {"dev": "astro dev"}})");
    tree.write(QStringLiteral("a/b/c/d/app/astro.config.mjs"), "");
    tree.write(QStringLiteral("a/b/c/d/app/yarn.lock"), "");

    const ProjectInfo info = inspectProject(projectAt(app, QStringLiteral("wrangler.jsonc")));
    ASSERT_TRUE(info.parseError.has_value());
    EXPECT_TRUE(info.parseError->startsWith(QStringLiteral("Couldn't parse wrangler.jsonc: ")))
        << info.parseError->toStdString();
    EXPECT_GT(info.parseError->size(), 32);
    EXPECT_FALSE(info.workerName.has_value());
    EXPECT_FALSE(info.pagesOutputDir.has_value());
    EXPECT_TRUE(info.bindings.isEmpty());
    EXPECT_EQ(info.packageManager, PackageManager::yarn);
    EXPECT_EQ(info.framework, QStringLiteral("Astro"));
    EXPECT_TRUE(info.hasDevScript);
    EXPECT_EQ(info.detectedMode, RunModeKind::devScript);
}

TEST(InspectProject, UnreadableOrUndecodableConfigurationsAreParseErrors)
{
    TempFolder tree;
    const QString app = tree.makeDir(QStringLiteral("a/b/c/d/app"));
    EXPECT_EQ(inspectProject(projectAt(app, QStringLiteral("wrangler.toml"))).parseError,
              QStringLiteral("Couldn't parse wrangler.toml: No such file or directory"));

    tree.makeDir(QStringLiteral("a/b/c/d/app/wrangler.json"));
    EXPECT_EQ(inspectProject(projectAt(app, QStringLiteral("wrangler.json"))).parseError,
              QStringLiteral("Couldn't parse wrangler.json: Is a directory"));

    tree.write(QStringLiteral("a/b/c/d/app/wrangler.jsonc"), "{\"name\": \"caf\xe9\"}");
    EXPECT_EQ(inspectProject(projectAt(app, QStringLiteral("wrangler.jsonc"))).parseError,
              QStringLiteral("Couldn't parse wrangler.jsonc: The file is not valid UTF-8 text"));
}

TEST(InspectProject, APipeNamedLikeTheConfigurationIsRefusedWithoutWaiting)
{
    TempFolder tree;
    const QString app = tree.makeDir(QStringLiteral("a/b/c/d/app"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(app + QStringLiteral("/wrangler.toml")).constData(), 0644),
              0);
    // Opening a pipe for reading would block until a writer came; inspection must not.
    EXPECT_EQ(inspectProject(projectAt(app, QStringLiteral("wrangler.toml"))).parseError,
              QStringLiteral("Couldn't parse wrangler.toml: Not a regular file"));
}

TEST(InspectProject, DanglingLinksAreNotFilesEvenWhenTheFolderListsThem)
{
    TempFolder tree;
    tree.write(QStringLiteral("a/b/c/d/app/wrangler.toml"), "name = \"x\"\n");
    tree.write(QStringLiteral("a/b/c/d/pnpm-lock.yaml"), "");
    const QString app = tree.filePath(QStringLiteral("a/b/c/d/app"));
    ASSERT_TRUE(
        QFile::link(tree.filePath(QStringLiteral("nowhere")), app + QStringLiteral("/yarn.lock")));
    ASSERT_TRUE(QFile::link(tree.filePath(QStringLiteral("nowhere")),
                            app + QStringLiteral("/node_modules")));
    const ProjectInfo info = inspectProject(projectAt(app, QStringLiteral("wrangler.toml")));
    EXPECT_EQ(info.packageManager, PackageManager::pnpm);
    EXPECT_EQ(info.packageRoot, tree.filePath(QStringLiteral("a/b/c/d")));
    EXPECT_FALSE(info.nodeModulesPresent);
}

TEST(InspectProject, MonorepoWorkerUsesWorkspaceLockfileAndDependencies)
{
    TempFolder tree;
    tree.write(QStringLiteral("ws/pnpm-lock.yaml"), "");
    tree.write(QStringLiteral("ws/package.json"), R"({"private": true})");
    tree.write(QStringLiteral("ws/node_modules/wrangler/package.json"), R"({"version": "4.86.0"})");
    tree.write(QStringLiteral("ws/apps/web/package.json"),
               R"({"scripts": {"dev": "vite dev"}, "dependencies": {"emdash": "1"}})");
    tree.write(QStringLiteral("ws/apps/web/vite.config.ts"),
               "import { cloudflare } from '@cloudflare/vite-plugin'");
    tree.write(QStringLiteral("ws/apps/web/worker/wrangler.toml"),
               "name = \"web-api\"\nmain = \"src/index.ts\"\ncompatibility_date = 2024-09-23\n"
               "[[d1_databases]]\nbinding = \"DB\"\ndatabase_name = \"main-db\"\n");
    const QString worker = tree.filePath(QStringLiteral("ws/apps/web/worker"));

    const ProjectInfo info = inspectProject(projectAt(worker, QStringLiteral("wrangler.toml")));
    EXPECT_FALSE(info.parseError.has_value());
    EXPECT_EQ(info.configKind, ConfigKind::toml);
    EXPECT_EQ(info.workerName, QStringLiteral("web-api"));
    EXPECT_EQ(info.mainEntry, QStringLiteral("src/index.ts"));
    EXPECT_EQ(info.compatibilityDate, QStringLiteral("2024-09-23"));
    ASSERT_EQ(info.bindings.size(), 1);
    EXPECT_EQ(info.bindings.first().id(), QStringLiteral("d1:DB:main-db"));
    EXPECT_EQ(info.packageManager, PackageManager::pnpm);
    EXPECT_EQ(info.packageRoot, tree.filePath(QStringLiteral("ws")));
    EXPECT_EQ(info.scriptRoot, tree.filePath(QStringLiteral("ws/apps/web")));
    EXPECT_EQ(info.wranglerVersion, QStringLiteral("4.86.0"));
    EXPECT_TRUE(info.depsInstalled);
    EXPECT_TRUE(info.nodeModulesPresent);
    EXPECT_FALSE(info.vitePluginVersion.has_value());
    EXPECT_TRUE(info.hasDevScript);
    EXPECT_EQ(info.cms, QStringLiteral("EmDash"));   // from the script root's package
    EXPECT_EQ(info.detectedMode, RunModeKind::vite); // the script root's Vite configuration
}

TEST(InspectProject, NodeModulesWithoutWranglerIsPresentButNotInstalled)
{
    TempFolder tree;
    tree.write(QStringLiteral("a/b/c/d/app/wrangler.toml"), "name = \"x\"\n");
    tree.makeDir(QStringLiteral("a/b/node_modules/left-pad"));
    const ProjectInfo info = inspectProject(
        projectAt(tree.filePath(QStringLiteral("a/b/c/d/app")), QStringLiteral("wrangler.toml")));
    EXPECT_TRUE(info.nodeModulesPresent);
    EXPECT_FALSE(info.depsInstalled);
    EXPECT_FALSE(info.wranglerVersion.has_value());
    EXPECT_EQ(info.packageManager, PackageManager::npm);
    EXPECT_FALSE(info.packageRoot.has_value());
    EXPECT_FALSE(info.scriptRoot.has_value());
    EXPECT_FALSE(info.hasDevScript);
    EXPECT_EQ(info.detectedMode, RunModeKind::wrangler);

    const ProjectInfo bare = inspectProject(
        projectAt(tree.makeDir(QStringLiteral("x/y/z/w/bare")), QStringLiteral("wrangler.toml")));
    EXPECT_FALSE(bare.nodeModulesPresent);
}

namespace {

// While it lives, the calling thread cannot read past folder permissions even as root (the
// tests run as root in CI): the capabilities that override them are dropped from the thread's
// effective set, and restored at the end.
class PermissionsApplyToThisThread
{
public:
    PermissionsApplyToThisThread()
    {
        ::syscall(SYS_capget, &header_, saved_);
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        ::syscall(SYS_capset, &header_, reduced);
    }
    ~PermissionsApplyToThisThread() { ::syscall(SYS_capset, &header_, saved_); }
    PermissionsApplyToThisThread(const PermissionsApplyToThisThread&) = delete;
    PermissionsApplyToThisThread& operator=(const PermissionsApplyToThisThread&) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2] = {};
};

} // namespace

TEST(InspectProject, AFolderThatCanBeSearchedButNotListedIsReadNameByName)
{
    TempFolder tree;
    tree.write(QStringLiteral("app/wrangler.toml"), "name = \"hidden-listing\"\n");
    tree.write(QStringLiteral("app/package.json"), R"({"scripts": {"dev": "wrangler dev"}})");
    tree.write(QStringLiteral("app/pnpm-lock.yaml"), "");
    tree.write(QStringLiteral("app/node_modules/wrangler/package.json"),
               R"({"version": "4.86.0"})");
    const QString app = tree.filePath(QStringLiteral("app"));
    const QByteArray encoded = QFile::encodeName(app);
    ASSERT_EQ(::chmod(encoded.constData(), 0311), 0); // search and write, no listing

    ProjectInfo info;
    {
        const PermissionsApplyToThisThread permissions;
        ASSERT_EQ(::opendir(encoded.constData()), nullptr) << "the folder can still be listed";
        info = inspectProject(projectAt(app, QStringLiteral("wrangler.toml")));
    }
    ::chmod(encoded.constData(), 0755);
    EXPECT_EQ(info.workerName, QStringLiteral("hidden-listing"));
    EXPECT_EQ(info.packageManager, PackageManager::pnpm);
    EXPECT_EQ(info.wranglerVersion, QStringLiteral("4.86.0"));
    EXPECT_TRUE(info.depsInstalled);
    EXPECT_TRUE(info.nodeModulesPresent);
    EXPECT_TRUE(info.hasDevScript);
    EXPECT_TRUE(dependenciesReady(projectAt(app, QStringLiteral("wrangler.toml")), &info));
}

TEST(InspectProjects, PairsEachRecordWithItsProjectInListOrder)
{
    TempFolder tree;
    tree.write(QStringLiteral("one/wrangler.toml"), "name = \"first\"\n");
    tree.write(QStringLiteral("two/wrangler.jsonc"), "{\"name\": \"second\"}");
    const QList<Project> projects{
        projectAt(tree.filePath(QStringLiteral("two")), QStringLiteral("wrangler.jsonc")),
        projectAt(tree.filePath(QStringLiteral("one")), QStringLiteral("wrangler.toml"))};
    const auto results = inspectProjects(projects);
    ASSERT_EQ(results.size(), 2);
    EXPECT_EQ(results.at(0).first, projects.at(0).path);
    EXPECT_EQ(results.at(0).second.workerName, QStringLiteral("second"));
    EXPECT_EQ(results.at(1).second.workerName, QStringLiteral("first"));
}
