#include "supervision/shell_environment.h"
#include "support/qt_gtest_printers.h"
#include "support/temp_folder.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace ShellEnvironment;

namespace {

const QString extraDirectories =
    "/opt/homebrew/bin:/opt/homebrew/sbin:/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin";

// Sets an environment variable for one test and restores it afterwards.
class ScopedVariable
{
public:
    ScopedVariable(const char* name, const std::optional<QByteArray>& value)
        : name_(name),
          old_(qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name))
                                               : std::nullopt)
    {
        set(value);
    }
    ~ScopedVariable() { set(old_); }

private:
    void set(const std::optional<QByteArray>& value)
    {
        if (value)
            qputenv(name_, *value);
        else
            qunsetenv(name_);
    }
    const char* name_;
    std::optional<QByteArray> old_;
};

bool processGone(const QString& pidText)
{
    return !QFileInfo::exists("/proc/" + pidText.trimmed());
}

} // namespace

TEST(ShellCapture, ParsesOnlyWellFormedVariablesAfterTheMarker)
{
    const Environment parsed =
        parseCapture("Last login: today\nPATH=/banner\n__TALLOWMERE_ENV_BEGIN__\n"
                     "A=1\nB=x=y\n\n1BAD=2\nnoequals\nF=one\ntwo\n"
                     "G=first\nG=second\nH=line\nI=continued\n");
    EXPECT_EQ(parsed, (Environment{{"A", "1"},
                                   {"B", "x=y"},
                                   {"F", "one"},
                                   {"G", "second"},
                                   {"H", "line"},
                                   {"I", "continued"}}));
    EXPECT_TRUE(parseCapture("A=1\nB=2\n").isEmpty()) << "no marker, no variables";
}

TEST(ShellCapture, FakeLoginShellGetsItsArgumentsAndNullInputAndItsNoiseIsIgnored)
{
    TempFolder folder;
    const QString shell = folder.writeScript(
        "shell", "printf '%s|' \"$#\" \"$1\" \"$2\" > \"$(dirname \"$0\")/args\"\n"
                 "readlink /proc/self/fd/0 > \"$(dirname \"$0\")/stdin\"\n"
                 "echo 'Welcome to the machine'; echo 'stderr noise' >&2\n"
                 "printf 'PATH=/not/this\\n__TALLOWMERE_ENV_BEGIN__\\nA=1\\nB=x=y\\n\\n1BAD=2\\n"
                 "noequals\\nF=one\\ntwo\\n'\n");
    const Environment environment = environmentFromShell(shell, 5);
    EXPECT_EQ(environment, (Environment{{"A", "1"}, {"B", "x=y"}, {"F", "one"}}));
    EXPECT_EQ(readWholeFile(folder.filePath("args")), "2|-lic|echo __TALLOWMERE_ENV_BEGIN__; env|");
    EXPECT_EQ(readWholeFile(folder.filePath("stdin")), "/dev/null\n");
}

TEST(ShellCapture, WithoutMarkerOrVariablesOrShellTheFallbackIsUsed)
{
    TempFolder folder;
    const QString noMarker = folder.writeScript("no-marker", "echo A=1\n");
    const QString noVariables =
        folder.writeScript("empty", "echo __TALLOWMERE_ENV_BEGIN__; echo not a variable\n");
    EXPECT_EQ(environmentFromShell(noMarker, 5), fallbackEnvironment());
    EXPECT_EQ(environmentFromShell(noVariables, 5), fallbackEnvironment());
    EXPECT_EQ(environmentFromShell(folder.filePath("missing"), 5), fallbackEnvironment());
    folder.write("not-executable", "#!/bin/sh\necho __TALLOWMERE_ENV_BEGIN__; echo A=1\n");
    EXPECT_EQ(environmentFromShell(folder.filePath("not-executable"), 5), fallbackEnvironment());
}

TEST(ShellCapture, RealShellListsTheEnvironmentAfterTheMarker)
{
    ScopedVariable probe("TALLOWMERE_CAPTURE_PROBE", QByteArray("a=b"));
    const Environment environment = environmentFromShell("/bin/sh", 10);
    EXPECT_EQ(environment.value("TALLOWMERE_CAPTURE_PROBE"), "a=b");
    EXPECT_FALSE(environment.value("PATH").isEmpty());
}

TEST(ShellCapture, HangingShellsNeverHoldTheCapturePastTheLimit)
{
    TempFolder folder;
    const double limit = 1.5;
    struct Case
    {
        const char* name;
        QByteArray body;
        Environment expected;
    };
    const QList<Case> cases{
        // Ignores SIGTERM after printing part of its listing: killed, what arrived is parsed.
        {"ignores-term",
         "echo $$ > \"$0.pid\"; trap '' TERM\n"
         "echo __TALLOWMERE_ENV_BEGIN__; echo A=1; while :; do sleep 0.1; done\n",
         Environment{{"A", "1"}}},
        // Exits at once but leaves a background program holding its output open.
        {"background",
         "echo $$ > \"$0.pid\"; echo __TALLOWMERE_ENV_BEGIN__; echo B=2; sleep 30 &\nexit 0\n",
         Environment{{"B", "2"}}},
        // Closes its output and then just stays.
        {"silent", "echo $$ > \"$0.pid\"; exec > /dev/null; sleep 30\n", fallbackEnvironment()},
    };
    for (const Case& c : cases) {
        const QString shell = folder.writeScript(c.name, c.body);
        QElapsedTimer clock;
        clock.start();
        const Environment environment = environmentFromShell(shell, limit);
        EXPECT_LT(clock.elapsed(), qint64(limit * 1000) + 3000) << c.name;
        EXPECT_EQ(environment, c.expected) << c.name;
        EXPECT_TRUE(processGone(readWholeFile(shell + ".pid"))) << c.name << " left running";
    }
}

TEST(ShellResolve, UsesShellWheneverTheVariableExistsElseZsh)
{
    // One rule for every capture: an empty SHELL is used as it is (and cannot be started),
    // never replaced by zsh.
    EXPECT_EQ(loginShell({{"SHELL", "/bin/fish"}}), QStringLiteral("/bin/fish"));
    EXPECT_EQ(loginShell({{"SHELL", ""}}), QString());
    EXPECT_EQ(loginShell({{"HOME", "/h"}}), QStringLiteral("/bin/zsh"));
    {
        ScopedVariable variable("SHELL", QByteArray());
        QFuture<Environment> future = resolve(5);
        future.waitForFinished();
        EXPECT_EQ(future.result(), fallbackEnvironment());
    }

    TempFolder folder;
    const QString shell =
        folder.writeScript("shell", "echo __TALLOWMERE_ENV_BEGIN__; echo FROM_FAKE=yes\n");
    {
        ScopedVariable variable("SHELL", shell.toLocal8Bit());
        QFuture<Environment> future = resolve(5);
        future.waitForFinished();
        EXPECT_EQ(future.result(), (Environment{{"FROM_FAKE", "yes"}}));
    }
    if (!QFileInfo::exists("/bin/zsh")) {
        ScopedVariable variable("SHELL", std::nullopt);
        QFuture<Environment> future = resolve(5);
        future.waitForFinished();
        EXPECT_EQ(future.result(), fallbackEnvironment());
    }
}

TEST(ShellFallback, AppendsMissingToolFoldersInOrder)
{
    EXPECT_EQ(completedPath({{"PATH", "/usr/bin::/custom"}}).value("PATH"),
              "/usr/bin:/custom:/opt/homebrew/bin:/opt/homebrew/sbin:/usr/local/bin:/bin:"
              "/usr/sbin:/sbin");
    EXPECT_EQ(completedPath({{"HOME", "/h"}}),
              (Environment{{"HOME", "/h"}, {"PATH", extraDirectories}}));
    ScopedVariable path("PATH", QByteArray("/only/here"));
    EXPECT_EQ(fallbackEnvironment().value("PATH"), "/only/here:" + extraDirectories);
}

TEST(ChildEnvironment, NodeFolderGoesInFrontOfPath)
{
    TempFolder folder;
    const Environment base{{"PATH", "/usr/bin"}};
    EXPECT_EQ(childEnvironment(base, "  /opt/node/bin/node\t").value("PATH"),
              "/opt/node/bin:/usr/bin");
    EXPECT_EQ(childEnvironment(base, folder.path()).value("PATH"), folder.path() + ":/usr/bin");
    EXPECT_EQ(childEnvironment(base, " \t ").value("PATH"), "/usr/bin");
    EXPECT_EQ(childEnvironment(base, "").value("PATH"), "/usr/bin");
    // Put in front even when already there; a base without PATH leaves a trailing colon.
    EXPECT_EQ(
        childEnvironment({{"PATH", folder.path() + ":/usr/bin"}}, folder.path()).value("PATH"),
        folder.path() + ":" + folder.path() + ":/usr/bin");
    EXPECT_EQ(childEnvironment({}, "/n/node").value("PATH"), "/n:");
}

TEST(ChildEnvironment, AgentMarkersGoAndColourIsSwitchedOff)
{
    const Environment child = childEnvironment({{"CLAUDE_CODE_ENTRYPOINT", "cli"},
                                                {"CODEX_HOME", "/x"},
                                                {"AI_AGENT", "1"},
                                                {"CLAUDE", "stays"},
                                                {"claude_code_lower", "stays"},
                                                {"TERM", "xterm-256color"},
                                                {"FORCE_COLOR", "1"},
                                                {"HOME", "/h"}},
                                               "");
    EXPECT_EQ(child, (Environment{{"CLAUDE", "stays"},
                                  {"claude_code_lower", "stays"},
                                  {"HOME", "/h"},
                                  {"NO_COLOR", "1"},
                                  {"FORCE_COLOR", "0"},
                                  {"TERM", "dumb"}}));
}
