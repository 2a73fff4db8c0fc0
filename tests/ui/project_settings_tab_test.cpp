#include "storage/registry_file.h"
#include "support/temp_folder.h"
#include "support/wait_until.h"
#include "ui/main_window.h"
#include "ui/project_settings/project_settings_tab.h"
#include "ui/support/gui_fixture.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A real project folder that inspection finds to use the Cloudflare Vite plugin.
QString viteProject(const TempFolder& sites)
{
    sites.write(QStringLiteral("shop/wrangler.jsonc"), R"({ "name": "shop" })");
    sites.write(QStringLiteral("shop/package.json"),
                R"({ "scripts": { "dev": "vite" }, "devDependencies": { "vite": "^6" } })");
    sites.write(QStringLiteral("shop/vite.config.ts"),
                "import { cloudflare } from '@cloudflare/vite-plugin'\n");
    return sites.filePath(QStringLiteral("shop"));
}

class SettingsTabTest : public ::testing::Test
{
protected:
    SettingsTabTest() : path(viteProject(sites)), fixture(registry()), window(fixture.ui())
    {
        fixture.model().select(path);
        fixture.model().setSelectedTab(DetailTab::settings);
        window.show();
    }

    Registry registry() const
    {
        Registry registry;
        registry.roots = {sites.path()};
        registry.projects = {testProject(path, QStringLiteral("shop"), sites.path())};
        return registry;
    }
    ProjectSettingsTab* tab()
    {
        return window.findChild<ProjectSettingsTab*>(QStringLiteral("projectSettingsTab"));
    }
    QComboBox* picker() { return tab()->findChild<QComboBox*>(QStringLiteral("runModePicker")); }
    QLineEdit* field(const char* name)
    {
        return tab()->findChild<QLineEdit*>(QString::fromLatin1(name));
    }
    bool rowShown(const char* name)
    {
        return tab()->findChild<QWidget*>(QString::fromLatin1(name))->isVisible();
    }
    Project stored() { return *fixture.model().findProject(path); }
    void choose(const QString& label)
    {
        const int index = picker()->findText(label);
        ASSERT_GE(index, 0) << qPrintable(label);
        picker()->setCurrentIndex(index);
        emit picker()->activated(index);
    }
    void typeAndReturn(QLineEdit* field, const QString& text)
    {
        field->setFocus();
        field->clear();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }

    TempFolder sites;
    QString path;
    GuiFixture fixture;
    MainWindow window;
};

} // namespace

// The picker names the detected mode once inspection has run, and the rows follow the mode in
// force at once.
TEST_F(SettingsTabTest, ThePickerShowsTheDetectedModeAndTheRowsFollowTheMode)
{
    ASSERT_NE(tab(), nullptr);
    QStringList choices;
    for (int i = 0; i < picker()->count(); ++i)
        choices.append(picker()->itemText(i));
    EXPECT_EQ(choices.mid(1), (QStringList{"Plain Wrangler", "Vite plugin", "Custom command",
                                           "Wrangler Pages", "Project dev script"}));
    EXPECT_EQ(picker()->width(), ProjectSettingsTab::pickerWidth);
    // The detail view asks for an inspection; until it is in, the detected mode is unknown.
    if (!fixture.model().infoFor(path)) {
        EXPECT_EQ(picker()->itemText(0), "Auto-detect (…)");
    }
    WAIT_UNTIL(fixture.model().infoFor(path) != nullptr, 10000);
    EXPECT_EQ(picker()->itemText(0), "Auto-detect (Vite plugin)");
    EXPECT_EQ(picker()->currentIndex(), 0);
    EXPECT_FALSE(rowShown("commandRow"));
    EXPECT_FALSE(rowShown("portRow"));
    EXPECT_FALSE(rowShown("environmentRow")) << "the configuration declares no environments";

    choose(QStringLiteral("Custom command"));
    EXPECT_EQ(stored().runModeOverride, RunModeKind::custom);
    EXPECT_TRUE(rowShown("commandRow"));
    EXPECT_FALSE(rowShown("portRow"));
    // Every change of the command is stored.
    QLineEdit* command = field("customCommandField");
    command->setFocus();
    QTest::keyClicks(command, QStringLiteral("pnpm dev"));
    EXPECT_EQ(stored().customCommand, QStringLiteral("pnpm dev"));
    QTest::keyClick(command, Qt::Key_Backspace);
    EXPECT_EQ(stored().customCommand, QStringLiteral("pnpm de"));

    choose(QStringLiteral("Wrangler Pages"));
    EXPECT_FALSE(rowShown("commandRow"));
    EXPECT_TRUE(rowShown("portRow"));

    choose(picker()->itemText(0));
    EXPECT_EQ(stored().runModeOverride, std::nullopt);
    EXPECT_FALSE(rowShown("portRow"));
}

// With environments declared the picker offers the top level and each name, stores the choice,
// steps aside for Pages, and shows a choice that the configuration no longer declares.
TEST_F(SettingsTabTest, TheEnvironmentPickerStoresAChoiceAndShowsOneThatWentMissing)
{
    sites.write(QStringLiteral("shop/wrangler.jsonc"),
                R"({ "name": "shop", "env": { "staging": {}, "preview": {} } })");
    WAIT_UNTIL(fixture.model().infoFor(path) != nullptr, 10000);
    fixture.model().refreshInfo(path);
    WAIT_UNTIL(!fixture.model().infoFor(path)->environments.isEmpty(), 10000);
    auto* environments = tab()->findChild<QComboBox*>(QStringLiteral("environmentPicker"));
    ASSERT_NE(environments, nullptr);
    EXPECT_TRUE(rowShown("environmentRow"));
    QStringList choices;
    for (int i = 0; i < environments->count(); ++i)
        choices.append(environments->itemText(i));
    EXPECT_EQ(choices, (QStringList{"Top level", "preview", "staging"}));
    EXPECT_EQ(environments->currentIndex(), 0);

    environments->setCurrentIndex(2);
    emit environments->activated(2);
    EXPECT_EQ(stored().environment, QStringLiteral("staging"));
    EXPECT_EQ(loadRegistry()->projects.first().environment, QStringLiteral("staging"));

    // Pages rejects --env: the row goes, the choice stays for when the mode comes back.
    choose(QStringLiteral("Wrangler Pages"));
    EXPECT_FALSE(rowShown("environmentRow"));
    choose(QStringLiteral("Project dev script"));
    EXPECT_TRUE(rowShown("environmentRow"));
    EXPECT_EQ(environments->currentText(), QStringLiteral("staging"));

    // The configuration drops "staging": shown as missing, and the help says what runs.
    sites.write(QStringLiteral("shop/wrangler.jsonc"),
                R"({ "name": "shop", "env": { "preview": {} } })");
    fixture.model().refreshInfo(path);
    WAIT_UNTIL(environments->count() == 3 &&
                   environments->itemText(2) == QStringLiteral("staging (missing)"),
               10000);
    EXPECT_EQ(environments->currentIndex(), 2);
    auto* help = tab()
                     ->findChild<QWidget*>(QStringLiteral("environmentRow"))
                     ->findChild<QLabel*>(QStringLiteral("settingHelp"));
    EXPECT_TRUE(help->text().contains(QStringLiteral("runs use the top level")))
        << help->text().toStdString();

    environments->setCurrentIndex(0);
    emit environments->activated(0);
    EXPECT_EQ(stored().environment, std::nullopt);
    WAIT_UNTIL(environments->count() == 2, 10000);
}

// Return commits the port: trimmed, empty clears, 1024 to 65535 with an optional sign is
// stored, anything else puts the stored port back and saves nothing.
TEST_F(SettingsTabTest, ThePortFieldStoresValidPortsAndRevertsTheRest)
{
    choose(QStringLiteral("Plain Wrangler"));
    QLineEdit* port = field("portField");
    ASSERT_TRUE(rowShown("portRow"));
    EXPECT_EQ(port->placeholderText(), "auto");

    typeAndReturn(port, QStringLiteral(" 8800 "));
    EXPECT_EQ(stored().port, 8800);
    EXPECT_EQ(port->text(), "8800");
    for (const QString& bad :
         {QStringLiteral("80"), QStringLiteral("70000"), QStringLiteral("12a")}) {
        typeAndReturn(port, bad);
        EXPECT_EQ(stored().port, 8800) << qPrintable(bad);
        EXPECT_EQ(port->text(), "8800") << qPrintable(bad);
    }
    typeAndReturn(port, QStringLiteral("+9000"));
    EXPECT_EQ(stored().port, 9000);
    typeAndReturn(port, QString());
    EXPECT_EQ(stored().port, std::nullopt);
    typeAndReturn(port, QStringLiteral("1"));
    EXPECT_EQ(port->text(), "") << "nothing stored: the field empties";
}
