#include "desktop/app_detection.h"
#include "support/qt_gtest_printers.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

QMap<QString, QString> environmentWithPath(const QString& path, const QString& home = {})
{
    QMap<QString, QString> environment{{QStringLiteral("PATH"), path}};
    if (!home.isEmpty())
        environment.insert(QStringLiteral("HOME"), home);
    return environment;
}

QStringList ids(const QList<ExternalApp>& apps)
{
    QStringList result;
    for (const ExternalApp& app : apps)
        result.append(app.id);
    return result;
}

} // namespace

TEST(AppDetection, SearchFoldersAreThePathThenTheUsualInstallFoldersEachOnce)
{
    const QStringList folders = executableSearchFolders(
        environmentWithPath(QStringLiteral("/opt/tools/bin::bin:./local:/usr/bin/:/opt/tools/bin"),
                            QStringLiteral("/home/ana")));
    EXPECT_EQ(folders,
              (QStringList{QStringLiteral("/opt/tools/bin"), QStringLiteral("/usr/bin"),
                           QStringLiteral("/home/ana/.local/bin"), QStringLiteral("/usr/local/bin"),
                           QStringLiteral("/bin"), QStringLiteral("/snap/bin")}));

    // No PATH and no HOME: only the fixed folders.
    EXPECT_EQ(executableSearchFolders({}).first(), QStringLiteral("/usr/local/bin"));
}

TEST(AppDetection, EntriesComeInCatalogueOrderWithTheirPreferredExecutable)
{
    TempFolder temp;
    const QString first = temp.makeDir(QStringLiteral("first"));
    const QString second = temp.makeDir(QStringLiteral("second"));
    // The desktop's own terminal is preferred to xterm even when xterm comes earlier on PATH.
    temp.writeScript(QStringLiteral("first/xterm"), "exit 0\n");
    temp.writeScript(QStringLiteral("second/konsole"), "exit 0\n");
    temp.writeScript(QStringLiteral("second/kitty"), "exit 0\n");
    temp.writeScript(QStringLiteral("first/alacritty"), "exit 0\n");
    temp.writeScript(QStringLiteral("second/alacritty"), "exit 0\n");
    // Neither a plain file nor a folder is an application.
    temp.write(QStringLiteral("first/ghostty"), "not executable");
    temp.makeDir(QStringLiteral("first/wezterm"));
    // Zed's executable has two names; the second one alone is enough.
    temp.writeScript(QStringLiteral("second/zeditor"), "exit 0\n");
    temp.writeScript(QStringLiteral("second/subl"), "exit 0\n");

    const QStringList folders{first, second};
    const QList<ExternalApp> terminals = detectInstalled(terminalCatalogue(), folders);
    EXPECT_EQ(terminals,
              (QList<ExternalApp>{{QStringLiteral("com.apple.Terminal"), QStringLiteral("Terminal"),
                                   second + QStringLiteral("/konsole")},
                                  {QStringLiteral("net.kovidgoyal.kitty"), QStringLiteral("kitty"),
                                   second + QStringLiteral("/kitty")},
                                  {QStringLiteral("org.alacritty"), QStringLiteral("Alacritty"),
                                   first + QStringLiteral("/alacritty")}}));

    const QList<ExternalApp> editors = detectInstalled(editorCatalogue(), folders);
    EXPECT_EQ(ids(editors),
              (QStringList{QStringLiteral("dev.zed.Zed"), QStringLiteral("com.sublimetext.4")}));
    EXPECT_EQ(editors.first().url, second + QStringLiteral("/zeditor"));
    EXPECT_EQ(editors.last().name, QStringLiteral("Sublime Text"));

    EXPECT_TRUE(detectInstalled(editorCatalogue(), {}).isEmpty());
}

TEST(AppDetection, TheLoginShellPathWinsOverTheUsualInstallFolders)
{
    TempFolder temp;
    const QString bin = temp.makeDir(QStringLiteral("bin"));
    const QString code = temp.writeScript(QStringLiteral("bin/code"), "exit 0\n");
    temp.writeScript(QStringLiteral("home/.local/bin/cursor"), "exit 0\n");
    temp.writeScript(QStringLiteral("bin/ghostty"), "exit 0\n");

    const auto environment = environmentWithPath(bin, temp.filePath(QStringLiteral("home")));
    const QList<ExternalApp> editors = installedEditors(environment);
    ASSERT_GE(editors.size(), 2);
    EXPECT_EQ(editors.at(0), (ExternalApp{QStringLiteral("com.microsoft.VSCode"),
                                          QStringLiteral("Visual Studio Code"), code}));
    EXPECT_EQ(editors.at(1).url, temp.filePath(QStringLiteral("home/.local/bin/cursor")));

    bool ghostty = false;
    for (const ExternalApp& terminal : installedTerminals(environment)) {
        EXPECT_NE(terminal.id, QStringLiteral("com.googlecode.iterm2")); // not on Linux
        ghostty = ghostty || terminal.url == bin + QStringLiteral("/ghostty");
    }
    EXPECT_TRUE(ghostty);
}
