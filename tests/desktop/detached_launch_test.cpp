#include "desktop/app_detection.h"
#include "desktop/detached_launcher.h"
#include "desktop/folder_launch.h"
#include "desktop/project_opener.h"
#include "support/fake_desktop.h"
#include "support/qt_gtest_printers.h"
#include "support/recording_program.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// Starts programs for real, like the GUI's workspace; the other operations are not used here.
class RealWorkspace : public LaunchingWorkspace
{
public:
    void openAddress(const QUrl&) override {}
    void revealInFileManager(const QString&) override {}
};

bool waitForExits(QSignalSpy& spy, int count)
{
    while (spy.count() < count) {
        if (!spy.wait(20000))
            return false;
    }
    return true;
}

QString canonical(const QString& path)
{
    return QFileInfo(path).canonicalFilePath();
}

const QStringList nullStreams{QStringLiteral("/dev/null"), QStringLiteral("/dev/null"),
                              QStringLiteral("/dev/null")};

} // namespace

TEST(DetachedLaunch, EveryTerminalAndEditorGetsItsArgumentsInTheFolderInASessionOfItsOwn)
{
    TempFolder temp;
    const QString dir = temp.makeDir(QStringLiteral("My Sites/api"));
    const QString config = dir + QStringLiteral("/wrangler.toml");
    const struct
    {
        const char* program;
        QStringList arguments;
    } cases[] = {
        {"gnome-terminal", {QStringLiteral("--working-directory=") + dir}},
        {"konsole", {QStringLiteral("--workdir"), dir}},
        {"xfce4-terminal", {QStringLiteral("--working-directory=") + dir}},
        {"kgx", {QStringLiteral("--working-directory=") + dir}},
        {"ghostty", {QStringLiteral("--working-directory=") + dir}},
        {"wezterm", {QStringLiteral("start"), QStringLiteral("--cwd"), dir}},
        {"kitty", {QStringLiteral("--directory"), dir}},
        {"alacritty", {QStringLiteral("--working-directory"), dir}},
        {"x-terminal-emulator", {}},
        {"xterm", {}},
        {"warp-terminal", {}},
        {"code", {config}},
        {"cursor", {config}},
        {"windsurf", {config}},
        {"zed", {config}},
        {"zeditor", {config}},
        {"subl", {config}},
        {"webstorm", {config}},
    };

    DetachedLauncher launcher;
    QSignalSpy exits(&launcher, &DetachedLauncher::exited);
    QList<qint64> pids;
    for (const auto& c : cases) {
        const QString name = QString::fromLatin1(c.program);
        const ExternalApp app{name, name,
                              writeRecordingProgram(temp, QStringLiteral("bin/") + name)};
        const bool editor = c.arguments == QStringList{config};
        const auto result =
            launcher.launch(editor ? editorLaunch(app, dir, config) : terminalLaunch(app, dir));
        ASSERT_GT(result.pid, 0) << c.program << ": " << result.error.toStdString();
        pids.append(result.pid);
    }
    ASSERT_TRUE(waitForExits(exits, int(std::size(cases))));

    for (qsizetype i = 0; i < qsizetype(std::size(cases)); ++i) {
        const auto& c = cases[i];
        const auto run =
            recordedRun(temp.filePath(QStringLiteral("bin/") + QString::fromLatin1(c.program)));
        ASSERT_TRUE(run.has_value()) << c.program;
        EXPECT_EQ(run->arguments, c.arguments) << c.program;
        EXPECT_EQ(run->workingFolder, canonical(dir)) << c.program;
        // Its own session: it leads it, and it is not ours (nor a dev server's).
        EXPECT_EQ(run->session, pids.at(i)) << c.program;
        EXPECT_NE(run->session, qint64(::getsid(0))) << c.program;
        EXPECT_EQ(run->streams, nullStreams) << c.program;
    }
}

TEST(DetachedLaunch, OpenInTerminalFindsTheTerminalOnTheLoginShellPath)
{
    TempFolder temp;
    const QString dir = temp.makeDir(QStringLiteral("api"));
    const QString konsole = writeRecordingProgram(temp, QStringLiteral("bin/konsole"));
    const QMap<QString, QString> environment{
        {QStringLiteral("PATH"), temp.filePath(QStringLiteral("bin"))}};

    RealWorkspace workspace;
    FakeAlertPresenter alerts;
    QSignalSpy exits(&workspace.launcher(), &DetachedLauncher::exited);
    AppSettings settings;
    settings.terminalApp = QStringLiteral("com.mitchellh.ghostty"); // chosen once, now gone
    ProjectOpener(workspace, alerts).openInTerminal(dir, settings, installedTerminals(environment));
    ASSERT_TRUE(waitForExits(exits, 1));

    const auto run = recordedRun(konsole);
    ASSERT_TRUE(run.has_value());
    EXPECT_EQ(run->arguments, (QStringList{QStringLiteral("--workdir"), dir}));
    EXPECT_TRUE(alerts.shown().isEmpty());
}

TEST(DetachedLaunch, CustomEditorCommandGetsAnyFolderNameAsOneArgument)
{
    TempFolder temp;
    // Every character that is special inside double quotes, plus spaces and a single quote.
    const QString dir = temp.makeDir(
        QStringLiteral("my \"odd\" $HOME `touch pwned` $(touch pwned) back\\slash it's"));
    ASSERT_TRUE(QFileInfo(dir).isDir());
    const QString recorder = writeRecordingProgram(temp, QStringLiteral("tools/open-here"));
    // The program is found only through the child environment's PATH.
    const QMap<QString, QString> childEnvironment{
        {QStringLiteral("PATH"),
         temp.filePath(QStringLiteral("tools")) + QStringLiteral(":/usr/bin:/bin")},
        {QStringLiteral("HOME"), temp.path()}};

    RealWorkspace workspace;
    FakeAlertPresenter alerts;
    QSignalSpy exits(&workspace.launcher(), &DetachedLauncher::exited);
    AppSettings settings;
    settings.editorCommand = QStringLiteral("  open-here --new-window ");
    const ProjectOpener opener(workspace, alerts);
    opener.openInEditor(dir, {}, settings, {}, childEnvironment);
    ASSERT_TRUE(waitForExits(exits, 1));

    auto run = recordedRun(recorder);
    ASSERT_TRUE(run.has_value());
    EXPECT_EQ(run->arguments, (QStringList{QStringLiteral("--new-window"), dir}));
    EXPECT_EQ(run->streams, nullStreams);
    EXPECT_FALSE(QFileInfo::exists(dir + QStringLiteral("/pwned")));
    EXPECT_TRUE(alerts.shown().isEmpty());

    // With a file inside the folder.
    opener.openInEditor(dir, QStringLiteral("wrangler.jsonc"), settings, {}, childEnvironment);
    ASSERT_TRUE(waitForExits(exits, 2));
    run = recordedRun(recorder);
    ASSERT_TRUE(run.has_value());
    EXPECT_EQ(run->arguments, (QStringList{QStringLiteral("--new-window"),
                                           dir + QStringLiteral("/wrangler.jsonc")}));
    EXPECT_FALSE(QFileInfo::exists(dir + QStringLiteral("/pwned")));
}

TEST(DetachedLaunch, ProgramsThatCannotStartReportWhyAndAreNotWatched)
{
    TempFolder temp;
    const QString program = writeRecordingProgram(temp, QStringLiteral("bin/kitty"));
    DetachedLauncher launcher;

    const auto relative = launcher.launch({QStringLiteral("kitty")});
    EXPECT_EQ(relative.pid, 0);
    EXPECT_FALSE(relative.error.isEmpty());

    const auto missing = launcher.launch({temp.filePath(QStringLiteral("bin/none"))});
    EXPECT_EQ(missing.pid, 0);
    EXPECT_FALSE(missing.error.isEmpty());

    const auto noFolder = launcher.launch({program, {}, temp.filePath(QStringLiteral("gone"))});
    EXPECT_EQ(noFolder.pid, 0);
    EXPECT_FALSE(noFolder.error.isEmpty());
    EXPECT_FALSE(recordedRun(program).has_value());

    // The launcher still works afterwards, with the environment it is given.
    QSignalSpy exits(&launcher, &DetachedLauncher::exited);
    const auto started =
        launcher.launch({program, {QStringLiteral("a b")}, {}, QMap<QString, QString>{}});
    ASSERT_GT(started.pid, 0) << started.error.toStdString();
    ASSERT_TRUE(waitForExits(exits, 1));
    EXPECT_EQ(exits.first().first().toLongLong(), started.pid);
    ASSERT_TRUE(recordedRun(program).has_value());
    EXPECT_EQ(recordedRun(program)->arguments, QStringList{QStringLiteral("a b")});
}

TEST(DetachedLaunch, ALongLivedProgramHoldsNoneOfTheApplicationsDescriptors)
{
    // A pipe without close-on-exec, as a careless spawn elsewhere might leave one.
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    DetachedLauncher launcher;
    QSignalSpy exits(&launcher, &DetachedLauncher::exited);
    const auto sleeper = launcher.launch({QStringLiteral("/bin/sleep"), {QStringLiteral("60")}});
    ASSERT_GT(sleeper.pid, 0) << sleeper.error.toStdString();

    // With our write end closed, the read end is at end of file at once: the sleeper has no copy.
    ::close(ends[1]);
    ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
    char byte;
    EXPECT_EQ(::read(ends[0], &byte, 1), 0);
    ::close(ends[0]);

    ::kill(pid_t(sleeper.pid), SIGKILL);
    ASSERT_TRUE(waitForExits(exits, 1));
}
