#include "desktop/folder_launch.h"
#include "support/qt_gtest_printers.h"

#include <gtest/gtest.h>

namespace {

ExternalApp app(const char* executable)
{
    return {QStringLiteral("id"), QStringLiteral("name"),
            QStringLiteral("/opt/bin/") + QString::fromLatin1(executable)};
}

} // namespace

TEST(FolderLaunch, EveryTerminalOpensInTheFolder)
{
    const QString dir = QStringLiteral("/home/ana/My Sites/api");
    const QString joined = QStringLiteral("--working-directory=") + dir;
    const struct
    {
        const char* executable;
        QStringList arguments;
    } cases[] = {
        {"gnome-terminal", {joined}},
        {"xfce4-terminal", {joined}},
        {"kgx", {joined}},
        {"ghostty", {joined}},
        {"konsole", {QStringLiteral("--workdir"), dir}},
        {"wezterm", {QStringLiteral("start"), QStringLiteral("--cwd"), dir}},
        {"kitty", {QStringLiteral("--directory"), dir}},
        {"alacritty", {QStringLiteral("--working-directory"), dir}},
        // These only use their working folder (x-terminal-emulator may be any terminal).
        {"x-terminal-emulator", {}},
        {"xterm", {}},
        {"warp-terminal", {}},
        {"my-own-term", {}},
    };
    for (const auto& c : cases) {
        const LaunchRequest request = terminalLaunch(app(c.executable), dir);
        EXPECT_EQ(request.program, app(c.executable).url);
        EXPECT_EQ(request.arguments, c.arguments) << c.executable;
        EXPECT_EQ(request.workingFolder, dir) << c.executable;
        EXPECT_FALSE(request.environment.has_value());
    }
}

TEST(FolderLaunch, EditorsGetTheTargetAsTheirOneArgument)
{
    const LaunchRequest request = editorLaunch(app("code"), QStringLiteral("/p/My App"),
                                               QStringLiteral("/p/My App/wrangler.toml"));
    EXPECT_EQ(request, (LaunchRequest{QStringLiteral("/opt/bin/code"),
                                      {QStringLiteral("/p/My App/wrangler.toml")},
                                      QStringLiteral("/p/My App")}));
}

TEST(FolderLaunch, DoubleQuotingEscapesExactlyTheCharactersSpecialInsideDoubleQuotes)
{
    EXPECT_EQ(shellDoubleQuoted(QStringLiteral("/Users/me/My App")),
              QStringLiteral("\"/Users/me/My App\""));
    EXPECT_EQ(shellDoubleQuoted(QStringLiteral(R"(a"b$c`d\e'f!g)")),
              QStringLiteral(R"("a\"b\$c\`d\\e'f!g")"));
    EXPECT_EQ(shellDoubleQuoted({}), QStringLiteral("\"\""));
}

TEST(FolderLaunch, CustomEditorCommandIsTrimmedAndBlankMeansUnset)
{
    const QMap<QString, QString> environment{{QStringLiteral("PATH"), QStringLiteral("/usr/bin")}};
    const auto launch =
        customEditorLaunch(QStringLiteral("  code -n \t"), QStringLiteral("/Users/me/My App"),
                           QStringLiteral("/Users/me/My App"), environment);
    ASSERT_TRUE(launch.has_value());
    EXPECT_EQ(launch->program, QStringLiteral("/bin/sh"));
    EXPECT_EQ(launch->arguments,
              (QStringList{QStringLiteral("-c"), QStringLiteral("code -n \"/Users/me/My App\"")}));
    EXPECT_EQ(launch->environment, environment);

    for (const char* blank : {"", "   ", "\t \n"})
        EXPECT_FALSE(
            customEditorLaunch(QString::fromLatin1(blank), {}, QStringLiteral("/p"), environment))
            << blank;
}
