#include "desktop/autostart_entry.h"
#include "support/qt_gtest_printers.h"
#include "support/temp_folder.h"

#include <QFile>

#include <gtest/gtest.h>

TEST(AutostartEntry, FolderFollowsXdgConfigHomeAndTheExecutableIsQuotedWhenItMustBe)
{
    EXPECT_EQ(AutostartEntry::defaultFolder({{"XDG_CONFIG_HOME", "/cfg"}, {"HOME", "/home/a"}}),
              QStringLiteral("/cfg/autostart"));
    // A relative XDG_CONFIG_HOME is ignored, as the base directory specification says.
    EXPECT_EQ(AutostartEntry::defaultFolder({{"XDG_CONFIG_HOME", "cfg"}, {"HOME", "/home/a"}}),
              QStringLiteral("/home/a/.config/autostart"));

    EXPECT_EQ(desktopEntryArgument(QStringLiteral("/usr/bin/tallowmere")),
              QStringLiteral("/usr/bin/tallowmere"));
    EXPECT_EQ(desktopEntryArgument(QStringLiteral("/home/a/My Apps/100%/t$x")),
              QStringLiteral("\"/home/a/My Apps/100%%/t\\$x\""));

    // In the file, the Exec value's own backslashes are escaped once more.
    TempFolder temp;
    AutostartEntry entry(temp.filePath(QStringLiteral("new/autostart")),
                         QStringLiteral("/opt/a \"b\"/tallowmere"));
    EXPECT_EQ(entry.status(), LoginItemStatus::notRegistered);
    EXPECT_EQ(entry.enable(), std::nullopt);
    EXPECT_EQ(entry.status(), LoginItemStatus::enabled);
    EXPECT_TRUE(readWholeFile(entry.filePath())
                    .contains("\nExec=\"/opt/a \\\\\"b\\\\\"/tallowmere\" --autostart\n"));
    EXPECT_EQ(entry.disable(), std::nullopt);
    EXPECT_EQ(entry.disable(), std::nullopt); // already gone: nothing to do
    EXPECT_EQ(entry.status(), LoginItemStatus::notRegistered);
}
