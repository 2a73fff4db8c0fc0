#include "desktop/folder_launch.h"
#include "desktop/project_opener.h"
#include "support/fake_desktop.h"
#include "support/qt_gtest_printers.h"

#include <gtest/gtest.h>

namespace {

const QString folder = QStringLiteral("/home/ana/Sites/api");
const ExternalApp ghostty{QStringLiteral("com.mitchellh.ghostty"), QStringLiteral("Ghostty"),
                          QStringLiteral("/usr/bin/ghostty")};
const ExternalApp kitty{QStringLiteral("net.kovidgoyal.kitty"), QStringLiteral("kitty"),
                        QStringLiteral("/usr/bin/kitty")};
const ExternalApp code{QStringLiteral("com.microsoft.VSCode"), QStringLiteral("Visual Studio Code"),
                       QStringLiteral("/usr/bin/code")};
const ExternalApp zed{QStringLiteral("dev.zed.Zed"), QStringLiteral("Zed"),
                      QStringLiteral("/usr/bin/zed")};
const QMap<QString, QString> childEnvironment{
    {QStringLiteral("PATH"), QStringLiteral("/opt/node/bin:/usr/bin")},
    {QStringLiteral("TERM"), QStringLiteral("dumb")}};

} // namespace

TEST(ProjectOpener, TerminalFollowsTheSelectionOrWarnsWhenThereIsNone)
{
    FakeDesktop desktop;
    const ProjectOpener opener(desktop.workspace, desktop.alerts);
    AppSettings settings;

    settings.terminalApp = kitty.id;
    opener.openInTerminal(folder, settings, {ghostty, kitty});
    settings.terminalApp.clear();
    opener.openInTerminal(folder, settings, {ghostty, kitty});
    ASSERT_EQ(desktop.workspace.launches().size(), 2);
    EXPECT_EQ(desktop.workspace.launches().at(0), terminalLaunch(kitty, folder));
    EXPECT_EQ(desktop.workspace.launches().at(1), terminalLaunch(ghostty, folder));
    EXPECT_TRUE(desktop.alerts.shown().isEmpty());

    settings.terminalApp = kitty.id;
    opener.openInTerminal(folder, settings, {});
    ASSERT_EQ(desktop.alerts.shown().size(), 1);
    EXPECT_EQ(desktop.alerts.shown().first(),
              (Alert{QStringLiteral("No terminal app found. Choose one in Settings."),
                     {},
                     {},
                     AlertStyle::warning}));
    EXPECT_EQ(desktop.workspace.launches().size(), 2);
}

TEST(ProjectOpener, EditorOpensTheFolderOrAFileInsideIt)
{
    FakeDesktop desktop;
    const ProjectOpener opener(desktop.workspace, desktop.alerts);
    AppSettings settings;
    settings.editorApp = zed.id;
    settings.editorCommand = QStringLiteral(" \t ");

    opener.openInEditor(folder, {}, settings, {code, zed}, childEnvironment);
    opener.openInEditor(folder, QStringLiteral("wrangler.jsonc"), settings, {code, zed},
                        childEnvironment);
    opener.openInEditor(folder, QStringLiteral("./src/../wrangler.toml"), settings, {code},
                        childEnvironment);
    ASSERT_EQ(desktop.workspace.launches().size(), 3);
    EXPECT_EQ(desktop.workspace.launches().at(0), editorLaunch(zed, folder, folder));
    EXPECT_EQ(desktop.workspace.launches().at(1).arguments,
              QStringList{folder + QStringLiteral("/wrangler.jsonc")});
    EXPECT_EQ(desktop.workspace.launches().at(2),
              editorLaunch(code, folder, folder + QStringLiteral("/wrangler.toml")));

    opener.openInEditor(folder, {}, settings, {}, childEnvironment);
    EXPECT_EQ(desktop.alerts.messages(),
              QStringList{QStringLiteral("No code editor found. Choose one in Settings.")});
    EXPECT_EQ(desktop.alerts.shown().first().style, AlertStyle::warning);
    EXPECT_EQ(desktop.workspace.launches().size(), 3);
}

TEST(ProjectOpener, CustomEditorCommandReplacesTheEditorAppAndNeedsNoInstalledEditor)
{
    FakeDesktop desktop;
    const ProjectOpener opener(desktop.workspace, desktop.alerts);
    AppSettings settings;
    settings.editorApp = code.id;
    settings.editorCommand = QStringLiteral("code -n");

    opener.openInEditor(QStringLiteral("/Users/me/My App"), QStringLiteral("wrangler.toml"),
                        settings, {}, childEnvironment);
    EXPECT_TRUE(desktop.alerts.shown().isEmpty());
    ASSERT_EQ(desktop.workspace.launches().size(), 1);
    const LaunchRequest& launch = desktop.workspace.launches().first();
    EXPECT_EQ(launch.program, QStringLiteral("/bin/sh"));
    EXPECT_EQ(launch.arguments,
              (QStringList{QStringLiteral("-c"),
                           QStringLiteral("code -n \"/Users/me/My App/wrangler.toml\"")}));
    EXPECT_EQ(launch.environment, childEnvironment);
}

TEST(ProjectOpener, RevealHandsTheFolderToTheFileManager)
{
    FakeDesktop desktop;
    ProjectOpener(desktop.workspace, desktop.alerts).revealInFileManager(folder);
    EXPECT_EQ(desktop.journal, QStringList{QStringLiteral("reveal:") + folder});
}

TEST(ProjectOpener, NothingToOpenWithOpensSettingsOnceTheWarningIsRead)
{
    FakeDesktop desktop;
    int settingsOpened = 0;
    const ProjectOpener opener(desktop.workspace, desktop.alerts, [&] { ++settingsOpened; });
    opener.openInTerminal(folder, {}, {});
    opener.openInEditor(folder, {}, {}, {}, childEnvironment);
    EXPECT_EQ(desktop.alerts.pendingCount(), 2);
    EXPECT_EQ(settingsOpened, 0);
    ASSERT_TRUE(desktop.alerts.answerPending(0));
    EXPECT_EQ(settingsOpened, 1);
    ASSERT_TRUE(desktop.alerts.dismissPending());
    EXPECT_EQ(settingsOpened, 2);
}
