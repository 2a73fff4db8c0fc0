#include "desktop/autostart_entry.h"
#include "support/qt_gtest_printers.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

TEST(AutostartEntry, TurnedOnReadsAsEnabledAndTurnedOffIsGone)
{
    TempFolder home;
    const AutostartEntry entry = AutostartEntry::forEnvironment(
        {{QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config"))}});
    EXPECT_EQ(entry.filePath(),
              home.filePath(QStringLiteral("config/autostart/tallowmere.desktop")));
    EXPECT_FALSE(entry.isEnabled());
    EXPECT_EQ(entry.disable(), std::nullopt); // nothing to remove is no failure

    EXPECT_EQ(entry.enable(QStringLiteral("/opt/tallowmere/bin/tallowmere")), std::nullopt);
    EXPECT_TRUE(entry.isEnabled());
    const QString text = QString::fromUtf8(readWholeFile(entry.filePath()));
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nType=Application\n")));
    EXPECT_TRUE(
        text.contains(QStringLiteral("\nExec=/opt/tallowmere/bin/tallowmere --autostart\n")));
    // Written again over the old entry, with nothing left beside it.
    EXPECT_EQ(entry.enable(QStringLiteral("/usr/bin/tallowmere")), std::nullopt);
    EXPECT_TRUE(QString::fromUtf8(readWholeFile(entry.filePath()))
                    .contains(QStringLiteral("\nExec=/usr/bin/tallowmere --autostart\n")));
    EXPECT_EQ(QDir(home.filePath(QStringLiteral("config/autostart"))).entryList(QDir::Files),
              QStringList{QStringLiteral("tallowmere.desktop")});

    EXPECT_EQ(entry.disable(), std::nullopt);
    EXPECT_FALSE(entry.isEnabled());
    EXPECT_FALSE(QFile::exists(entry.filePath()));
}

TEST(AutostartEntry, FolderFollowsTheBaseDirectoryRules)
{
    const Environment home{{QStringLiteral("HOME"), QStringLiteral("/home/ana")}};
    EXPECT_EQ(AutostartEntry::forEnvironment(home).filePath(),
              QStringLiteral("/home/ana/.config/autostart/tallowmere.desktop"));
    Environment relative = home;
    relative.insert(QStringLiteral("XDG_CONFIG_HOME"), QStringLiteral("conf"));
    EXPECT_EQ(AutostartEntry::forEnvironment(relative).filePath(),
              QStringLiteral("/home/ana/.config/autostart/tallowmere.desktop"));
}

TEST(AutostartEntry, FailuresCarryADescription)
{
    TempFolder home;
    // A file where the autostart folder should be.
    home.write(QStringLiteral("autostart"), "not a folder");
    const AutostartEntry entry(home.filePath(QStringLiteral("autostart")));
    const std::optional<QString> error = entry.enable(QStringLiteral("/usr/bin/tallowmere"));
    ASSERT_TRUE(error.has_value());
    EXPECT_FALSE(error->isEmpty());
    EXPECT_FALSE(entry.isEnabled());
}

TEST(AutostartEntry, ExecArgumentsSurviveSpacesQuotesAndFieldCodes)
{
    EXPECT_EQ(desktopExecArgument(QStringLiteral("/usr/bin/tallowmere")),
              QStringLiteral("/usr/bin/tallowmere"));
    // Quoted; inside the quotes " ` $ \ are escaped, then the string value doubles backslashes.
    EXPECT_EQ(desktopExecArgument(QStringLiteral("/home/ana/My Apps/tallowmere")),
              QStringLiteral("\"/home/ana/My Apps/tallowmere\""));
    EXPECT_EQ(desktopExecArgument(QStringLiteral("/opt/a\"b$c`d\\e/t")),
              QStringLiteral("\"/opt/a\\\\\"b\\\\$c\\\\`d\\\\\\\\e/t\""));
    EXPECT_EQ(desktopExecArgument(QStringLiteral("/opt/100%/t")), QStringLiteral("/opt/100%%/t"));
}
