#include "discovery/explorer_support.h"
#include "discovery/version_value.h"

#include <gtest/gtest.h>

namespace {

Project projectIn(std::optional<RunModeKind> overrideMode = std::nullopt)
{
    Project project;
    project.path = QStringLiteral("/home/dev/api");
    project.configFile = QStringLiteral("wrangler.jsonc");
    project.name = QStringLiteral("api");
    project.runModeOverride = overrideMode;
    return project;
}

ProjectInfo inspected(RunModeKind detected, std::optional<QString> wrangler,
                      std::optional<QString> plugin = std::nullopt,
                      PackageManager manager = PackageManager::npm)
{
    ProjectInfo info;
    info.detectedMode = detected;
    info.wranglerVersion = std::move(wrangler);
    info.vitePluginVersion = std::move(plugin);
    info.packageManager = manager;
    return info;
}

} // namespace

TEST(VersionValue, ParsesLooseVersionTextsAndOrdersThemNumerically)
{
    EXPECT_EQ(parseVersion(QStringLiteral(" v4.81.9 ")), (VersionValue{4, 81, 9}));
    EXPECT_EQ(parseVersion(QStringLiteral("4.82.1-beta.3")), (VersionValue{4, 82, 1}));
    EXPECT_EQ(parseVersion(QStringLiteral("1.2.3+build.7")), (VersionValue{1, 2, 3}));
    EXPECT_EQ(parseVersion(QStringLiteral("4.x.2")), (VersionValue{4, 2})) << "bad pieces skipped";
    EXPECT_EQ(parseVersion(QStringLiteral("latest")), std::nullopt);
    EXPECT_EQ(parseVersion(QStringLiteral("")), std::nullopt);
    EXPECT_EQ(parseVersion(QStringLiteral("-beta")), std::nullopt);

    EXPECT_FALSE(isOlder({4, 82}, {4, 82, 0})) << "a missing element counts as 0";
    EXPECT_FALSE(isOlder({4, 82, 0}, {4, 82}));
    EXPECT_TRUE(isOlder({4, 9, 0}, {4, 82, 1})) << "numbers, not text";
    EXPECT_FALSE(isOlder({5}, {4, 82, 1}));
    EXPECT_TRUE(isOlder({4, 82, 0, 9}, {4, 82, 1}));
}

TEST(ExplorerSupport, WranglerBelowTheMinimumIsTooOldWithTheInstallHintOfItsPackageManager)
{
    const Project plain = projectIn();
    for (const char* version : {"4.82.1", "4.82.1-beta.3", "4.86.0", "5"}) {
        const ProjectInfo info = inspected(RunModeKind::wrangler, QString::fromLatin1(version));
        EXPECT_TRUE(explorerSupport(plain, &info).isOk()) << version;
    }

    const ProjectInfo old = inspected(RunModeKind::wrangler, QStringLiteral("4.82.0"));
    EXPECT_EQ(explorerSupport(plain, &old),
              (ExplorerSupport{ExplorerSupport::Kind::tooOld, QStringLiteral("wrangler"),
                               QStringLiteral("4.82.0"), QStringLiteral("4.82.1"),
                               QStringLiteral("npm install -D wrangler@latest")}));

    const ProjectInfo bunOld = inspected(RunModeKind::wrangler, QStringLiteral("v4.81.9"),
                                         std::nullopt, PackageManager::bun);
    const ExplorerSupport bun = explorerSupport(plain, &bunOld);
    EXPECT_EQ(bun.installed, QStringLiteral("v4.81.9")) << "shown as written";
    EXPECT_EQ(bun.command, QStringLiteral("bun add -d wrangler@latest"));
}

TEST(ExplorerSupport, TheVitePluginCountsOnlyInViteModeAndWranglerIsCheckedAfterIt)
{
    const Project detected = projectIn();
    const ProjectInfo oldPlugin = inspected(RunModeKind::vite, QStringLiteral("4.86.0"),
                                            QStringLiteral("1.31.5"), PackageManager::pnpm);
    const ExplorerSupport plugin = explorerSupport(detected, &oldPlugin);
    EXPECT_EQ(plugin.package, QStringLiteral("@cloudflare/vite-plugin"));
    EXPECT_EQ(plugin.required, QStringLiteral("1.32.0"));
    EXPECT_EQ(plugin.command, QStringLiteral("pnpm add -D @cloudflare/vite-plugin@latest"));

    const ProjectInfo newPluginOldWrangler =
        inspected(RunModeKind::vite, QStringLiteral("4.80.0"), QStringLiteral("1.32.0"));
    EXPECT_EQ(explorerSupport(detected, &newPluginOldWrangler).package, QStringLiteral("wrangler"));

    // The override decides the mode: not Vite, so the old plugin does not matter.
    const Project overridden = projectIn(RunModeKind::wrangler);
    EXPECT_TRUE(explorerSupport(overridden, &oldPlugin).isOk());
    const ProjectInfo nonVite =
        inspected(RunModeKind::devScript, QStringLiteral("4.86.0"), QStringLiteral("1.0.0"));
    EXPECT_TRUE(explorerSupport(detected, &nonVite).isOk());
}

TEST(ExplorerSupport, MissingOrUnreadableVersionsNeverMakeAProjectTooOld)
{
    const Project project = projectIn();
    EXPECT_TRUE(explorerSupport(project, nullptr).isOk()) << "not inspected yet";
    const ProjectInfo none = inspected(RunModeKind::vite, std::nullopt, std::nullopt);
    EXPECT_TRUE(explorerSupport(project, &none).isOk());
    const ProjectInfo garbage =
        inspected(RunModeKind::vite, QStringLiteral("workspace:*"), QStringLiteral("next"));
    EXPECT_TRUE(explorerSupport(project, &garbage).isOk());
}
