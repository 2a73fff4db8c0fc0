#include "storage/settings_file.h"
#include "support/qt_printers.h"
#include "support/support_dir_override.h"

#include <QDir>

#include <gtest/gtest.h>

TEST(SettingsFile, WritesAllSevenKeysInTheExactForm)
{
    AppSettings settings;
    settings.appearance = AppearanceMode::dark;
    settings.showDockIcon = false;
    settings.terminalApp = QStringLiteral("kitty");
    settings.nodePath = QStringLiteral("/opt/node/bin");
    settings.watchRoots = true;

    SupportDirOverride support;
    EXPECT_EQ(saveSettings(settings), std::nullopt);
    const QByteArray expected = R"json({
  "appearance" : "dark",
  "editorApp" : "",
  "editorCommand" : "",
  "nodePath" : "\/opt\/node\/bin",
  "showDockIcon" : false,
  "terminalApp" : "kitty",
  "watchRoots" : true
})json";
    EXPECT_EQ(readWholeFile(support.file(QStringLiteral("settings.json"))), expected);
    EXPECT_EQ(loadSettings(), settings);
}

TEST(SettingsFile, EveryKeyIsOptionalAndNullMeansTheDefault)
{
    AppSettings watching;
    watching.watchRoots = true;
    EXPECT_EQ(decodeSettings(R"({"watchRoots": true})"), watching);
    EXPECT_EQ(decodeSettings("{}"), AppSettings{});
    EXPECT_EQ(decodeSettings(R"({"appearance": null, "showDockIcon": null, "nodePath": null,
                                 "unknown": [1, 2]})"),
              AppSettings{});

    const std::optional<AppSettings> light = decodeSettings(R"({"appearance": "light"})");
    ASSERT_TRUE(light);
    EXPECT_EQ(light->appearance, AppearanceMode::light);
    EXPECT_TRUE(light->showDockIcon);
}

TEST(SettingsFile, TheOldDefaultEditorCommandReadsAsEmptyButOthersStay)
{
    EXPECT_EQ(decodeSettings(R"({"editorCommand": "code"})")->editorCommand, QString());
    EXPECT_EQ(decodeSettings(R"({"editorCommand": "code --wait"})")->editorCommand,
              QStringLiteral("code --wait"));
    EXPECT_EQ(decodeSettings(R"({"editorCommand": "Code"})")->editorCommand,
              QStringLiteral("Code"));
    EXPECT_EQ(decodeSettings(R"({"editorCommand": " code"})")->editorCommand,
              QStringLiteral(" code"));
}

TEST(SettingsFile, AWrongTypeOrUnknownAppearanceFailsTheWholeDocument)
{
    const char* bad[] = {
        R"({"appearance": "auto", "watchRoots": true})",
        R"({"appearance": "Dark"})",
        R"({"appearance": 1})",
        R"({"showDockIcon": "false"})",
        R"({"watchRoots": 1})",
        R"({"terminalApp": false})",
        R"({"editorApp": {}})",
        R"({"nodePath": ["/usr"]})",
        R"(["watchRoots"])",
        R"({"watchRoots": true)",
        "",
    };
    for (const char* document : bad)
        EXPECT_FALSE(decodeSettings(document)) << document;
}

TEST(SettingsFile, AnUndecodableFileIsKeptAsideAndMissingFileGivesNone)
{
    SupportDirOverride support;
    EXPECT_EQ(loadSettings(), std::nullopt);

    support.temp().write(QStringLiteral("support/settings.json"), R"({"appearance": "sepia"})");
    EXPECT_EQ(loadSettings(), std::nullopt);
    saveSettings(AppSettings{});

    const QStringList kept =
        QDir(support.dir()).entryList({QStringLiteral("settings.json.corrupt-*")});
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(readWholeFile(support.file(kept.first())), QByteArray(R"({"appearance": "sepia"})"));
    EXPECT_EQ(loadSettings(), AppSettings{});
}
