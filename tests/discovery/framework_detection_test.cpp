#include "discovery/framework_detection.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

TEST(Framework, TableOrderBreaksTiesWithinAFolderAndFolderOrderComesFirst)
{
    TempFolder tree;
    const QString app = tree.makeDir(QStringLiteral("app"));
    const QString pkg = tree.makeDir(QStringLiteral("pkg"));
    EXPECT_FALSE(detectFramework({app, pkg}).has_value());

    tree.write(QStringLiteral("app/next.config.mjs"), "");
    tree.write(QStringLiteral("app/astro.config.ts"), "");
    EXPECT_EQ(detectFramework({app}), QStringLiteral("Astro"));

    tree.write(QStringLiteral("pkg/svelte.config.js"), "");
    EXPECT_EQ(detectFramework({pkg, app}), QStringLiteral("SvelteKit"));
    EXPECT_EQ(detectFramework({app, pkg}), QStringLiteral("Astro"));

    // A prefix match on any entry, folders included; an unlistable folder counts as empty.
    tree.makeDir(QStringLiteral("docs/vitepress-theme"));
    EXPECT_EQ(detectFramework({tree.filePath(QStringLiteral("missing")),
                               tree.filePath(QStringLiteral("docs"))}),
              QStringLiteral("VitePress"));
    tree.write(QStringLiteral("site/.vitepress/config.ts"), "");
    tree.write(QStringLiteral("site/gatsby-config.js"), "");
    EXPECT_EQ(detectFramework({tree.filePath(QStringLiteral("site"))}), QStringLiteral("Gatsby"));
}

TEST(ContentSystem, DependenciesInstalledPackageOrAstroIntegrationMarkEmDash)
{
    TempFolder tree;
    const auto cmsOf = [&](const QString& folder) { return detectCms({tree.filePath(folder)}); };
    tree.write(QStringLiteral("deps/package.json"), R"({"dependencies": {"emdash": "^1"}})");
    tree.write(QStringLiteral("dev/package.json"),
               R"({"dependencies": {"astro": "5"}, "devDependencies": {"emdash": "^1"}})");
    tree.write(QStringLiteral("installed/node_modules/emdash/package.json"), "{}");
    tree.write(QStringLiteral("astro/astro.config.mjs"),
               "import emdash from 'emdash/astro';\nexport default {integrations: [emdash()]}");
    tree.write(QStringLiteral("plain/package.json"), R"({"dependencies": {"emdash-ui": "1"}})");
    tree.write(QStringLiteral("plain/astro.config.mjs"), "export default {}");
    tree.write(QStringLiteral("invalid/package.json"), R"({"dependencies": {"emdash": "1"},})");

    EXPECT_EQ(cmsOf(QStringLiteral("deps")), QStringLiteral("EmDash"));
    EXPECT_EQ(cmsOf(QStringLiteral("dev")), QStringLiteral("EmDash"));
    EXPECT_EQ(cmsOf(QStringLiteral("installed")), QStringLiteral("EmDash"));
    EXPECT_EQ(cmsOf(QStringLiteral("astro")), QStringLiteral("EmDash"));
    EXPECT_FALSE(cmsOf(QStringLiteral("plain")).has_value());
    EXPECT_FALSE(cmsOf(QStringLiteral("invalid")).has_value());
    EXPECT_EQ(
        detectCms({tree.filePath(QStringLiteral("plain")), tree.filePath(QStringLiteral("deps"))}),
        QStringLiteral("EmDash"));
}

TEST(DetectedMode, RulesApplyInOrder)
{
    TempFolder tree;
    const QString app = tree.makeDir(QStringLiteral("app"));
    const QString scripts = tree.makeDir(QStringLiteral("scripts"));
    ProjectInfo info;
    EXPECT_EQ(detectMode(info, {app, scripts}), RunModeKind::wrangler);

    // A framework only counts with a dev script.
    info.framework = QStringLiteral("Astro");
    EXPECT_EQ(detectMode(info, {app, scripts}), RunModeKind::wrangler);
    info.hasDevScript = true;
    EXPECT_EQ(detectMode(info, {app, scripts}), RunModeKind::devScript);

    // A Vite configuration without the Cloudflare plugin changes nothing; with it, in the
    // script root only, it wins over the framework.
    tree.write(QStringLiteral("app/vite.config.ts"), "import { defineConfig } from 'vite'");
    EXPECT_EQ(detectMode(info, {app, scripts}), RunModeKind::devScript);
    tree.write(QStringLiteral("scripts/vite.config.mts"),
               "import { cloudflare } from \"@cloudflare/vite-plugin\";");
    EXPECT_EQ(detectMode(info, {app, scripts}), RunModeKind::vite);

    // A Pages output folder decides before anything else.
    info.pagesOutputDir = QStringLiteral("./public");
    EXPECT_EQ(detectMode(info, {app, scripts}), RunModeKind::devScript);
    info.hasDevScript = false;
    EXPECT_EQ(detectMode(info, {app, scripts}), RunModeKind::pages);
}

TEST(DetectedMode, UnreadableViteConfigsAreSkipped)
{
    TempFolder tree;
    const QString app = tree.makeDir(QStringLiteral("app"));
    tree.makeDir(QStringLiteral("app/vite.config.ts")); // a folder cannot be read
    tree.write(QStringLiteral("app/vite.config.js"), "\xff\xfe @cloudflare/vite-plugin");
    EXPECT_EQ(detectMode(ProjectInfo{}, {app}), RunModeKind::wrangler);
    tree.write(QStringLiteral("app/vite.config.cjs"), "require('@cloudflare/vite-plugin')");
    EXPECT_EQ(detectMode(ProjectInfo{}, {app}), RunModeKind::vite);
}
