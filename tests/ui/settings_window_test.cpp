#include "desktop/autostart_login_item.h"
#include "support/model_test_access.h"
#include "support/qt_gtest_printers.h"
#include "support/support_dir_override.h"
#include "support/temp_folder.h"
#include "support/wait_until.h"
#include "ui/app_shell.h"
#include "ui/settings/app_picker.h"
#include "ui/settings/folder_sections.h"
#include "ui/settings/settings_window.h"
#include "ui/support/gui_fixture.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/segmented_control.h"
#include "ui/widgets/toggle_switch.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// A settings window over a fixture model, with an autostart entry in a temporary config folder
// and choosers that answer from queues (an empty answer cancels).
class SettingsWindowTest : public ::testing::Test
{
protected:
    explicit SettingsWindowTest(const Registry& registry = {},
                                const QMap<QString, QString>& environment = {})
        : fixture(registry, environment),
          login(AutostartEntry(temp.filePath(QStringLiteral("config/autostart"))),
                QStringLiteral("/opt/tm/tallowmere"))
    {}

    QString autostartFile() const
    {
        return temp.filePath(QStringLiteral("config/autostart/tallowmere.desktop"));
    }

    void open()
    {
        SettingsChoosers choosers;
        choosers.folder = [this](QWidget*, const QString& prompt, const QString& message,
                                 const SettingsChoosers::Chosen& chosen) {
            folderRequests.append(prompt + u'|' + message);
            answer(folders, chosen);
        };
        choosers.nodePath = [this](QWidget*, const SettingsChoosers::Chosen& chosen) {
            answer(nodePaths, chosen);
        };
        choosers.application = [this](QWidget*, const SettingsChoosers::Chosen& chosen) {
            answer(programs, chosen);
        };
        window = std::make_unique<SettingsWindow>(fixture.ui(), login, choosers);
        window->show();
    }

    template <typename T> T* find(const char* name) const
    {
        T* found = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    // The visible labels with this object name, in order.
    QStringList texts(const char* name) const
    {
        QStringList result;
        for (QLabel* label : window->findChildren<QLabel*>(QString::fromLatin1(name)))
            if (label->isVisibleTo(window.get()))
                result.append(label->text());
        return result;
    }
    bool shown(const char* name) const { return find<QWidget>(name)->isVisibleTo(window.get()); }
    void click(const char* name) { QTest::mouseClick(find<QAbstractButton>(name), Qt::LeftButton); }
    // Picks an entry of a picker as the user would (activating the item with this tag).
    void pick(AppPicker* picker, const QString& tag)
    {
        const int index = picker->findData(tag);
        ASSERT_GE(index, 0) << tag.toStdString();
        picker->setCurrentIndex(index);
        emit picker->activated(index);
    }

    TempFolder temp;
    GuiFixture fixture;
    AutostartLoginItem login;
    std::unique_ptr<SettingsWindow> window;
    QStringList folders, nodePaths, programs, folderRequests;

private:
    static void answer(QStringList& queue, const SettingsChoosers::Chosen& chosen)
    {
        const QString path = queue.isEmpty() ? QString() : queue.takeFirst();
        if (!path.isEmpty())
            chosen(path);
    }
};

Registry withRoots(const QStringList& roots)
{
    Registry registry;
    registry.roots = roots;
    return registry;
}

} // namespace

TEST_F(SettingsWindowTest, SixSectionsInOrderAndAtTheFixedSize)
{
    open();
    EXPECT_EQ(window->size(), QSize(560, 520));
    EXPECT_EQ(texts("sectionTitle"),
              (QStringList{"GENERAL", "PROJECT FOLDERS", "ACCESS", "TERMINAL", "EDITOR", "NODE"}));
    EXPECT_EQ(find<QLineEdit>("editorCommandField")->placeholderText(),
              QStringLiteral("Optional, e.g. code or cursor"));
    // The command form is set as code, not between literal backquotes.
    auto* help = find<QLabel>("editorCommandHelp");
    ASSERT_TRUE(help);
    EXPECT_EQ(help->textFormat(), Qt::RichText);
    QTextDocument shown;
    shown.setHtml(help->text());
    EXPECT_EQ(shown.toPlainText(), "When set, runs as <command> <project folder> and is used "
                                   "instead of the app above.");
    EXPECT_EQ(find<QLineEdit>("nodePathField")->placeholderText(),
              QStringLiteral("Automatic (from your login shell)"));
}

class SettingsRootsTest : public SettingsWindowTest
{
protected:
    SettingsRootsTest()
        : SettingsWindowTest(withRoots({QDir::homePath() + QStringLiteral("/Sites")}))
    {}
};

TEST_F(SettingsRootsTest, AddingAndRemovingRootsUpdatesBothSections)
{
    open();
    EXPECT_EQ(texts("rootPath").first(), QStringLiteral("~/Sites"));
    EXPECT_FALSE(window->findChild<QLabel*>(QStringLiteral("noFolders")));

    // "Add Folder…" asks with its prompt and message; the chosen folder becomes a root.
    folders << temp.makeDir(QStringLiteral("more"));
    click("addFolderButton");
    EXPECT_EQ(folderRequests,
              QStringList{"Add Folder|Choose a folder to scan for Wrangler projects"});
    WAIT_UNTIL(fixture.model().roots().size() == 2, 5000);
    WAIT_UNTIL(window->findChildren<QWidget*>(QStringLiteral("accessRow")).size() == 2, 5000);

    // Removing the last root shows the empty texts of both sections.
    for (int i = 0; i < 2; ++i)
        click("removeRootButton");
    EXPECT_TRUE(fixture.model().roots().isEmpty());
    WAIT_UNTIL(texts("noFolders") == QStringList{"No folders added yet."}, 5000);
    WAIT_UNTIL(texts("accessHint") ==
                   QStringList{"Add a project folder above and its access status shows here."},
               5000);
    EXPECT_FALSE(shown("accessExplanationRow"));
}

class SettingsAccessTest : public SettingsWindowTest
{
protected:
    SettingsAccessTest() : SettingsWindowTest(withRoots({blockedRoot()})) {}

    // A folder this user cannot list. chmod 000 does not stop root, so root gets a root
    // that is a plain file instead, which no one can list.
    static QString blockedRoot()
    {
        static TempFolder folder;
        QString root = folder.filePath(QStringLiteral("protected"));
        if (::geteuid() == 0) {
            folder.write(QStringLiteral("protected"), "not a folder");
        } else {
            folder.makeDir(QStringLiteral("protected"));
            QFile::setPermissions(root, QFileDevice::Permissions());
        }
        return root;
    }
    static void grantAccess(const QString& root)
    {
        if (::geteuid() == 0) {
            QFile::remove(root);
            QDir().mkpath(root);
        } else {
            QFile::setPermissions(root, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                            QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                            QFileDevice::ExeOther);
        }
    }
};

TEST_F(SettingsAccessTest, UnreadableRootShowsNoAccessUntilCheckAgainFindsItReadable)
{
    if (::geteuid() == 0)
        std::cout << "[ INFO     ] running as root: chmod 000 does not block root, so the "
                     "root is a plain file until access is granted\n";
    open();
    WAIT_UNTIL(texts("accessStatus") == QStringList{"No access"}, 5000);
    EXPECT_TRUE(shown("accessExplanationRow"));
    EXPECT_EQ(texts("accessExplanation"),
              QStringList{"Tallowmere can't read some folders. Check their permissions, then "
                          "press Check again."});

    grantAccess(fixture.model().roots().first());
    click("checkAgainButton");
    WAIT_UNTIL(texts("accessStatus") == QStringList{"Allowed"}, 5000);
    EXPECT_FALSE(shown("accessExplanationRow"));
}

TEST_F(SettingsWindowTest, GeneralSwitchesReachTheModelAndTheDesktop)
{
    open();
    auto* theme = find<SegmentedControl>("themeControl");
    EXPECT_EQ(theme->currentIndex(), 0);
    QTest::mouseClick(theme->segment(2), Qt::LeftButton);
    EXPECT_EQ(fixture.model().settings().appearance, AppearanceMode::dark);
    EXPECT_EQ(fixture.desktop().presence.appearances().last(), AppearanceMode::dark);

    auto* taskbar = find<ToggleSwitch>("taskbarSwitch");
    EXPECT_TRUE(taskbar->isChecked());
    click("taskbarSwitch");
    EXPECT_FALSE(fixture.model().settings().showDockIcon);
    EXPECT_EQ(fixture.desktop().presence.policies().last(), TaskbarPolicy::trayOnly);

    click("watchSwitch");
    EXPECT_TRUE(fixture.model().settings().watchRoots);

    // A change made elsewhere shows at once.
    AppSettings settings = fixture.model().settings();
    settings.appearance = AppearanceMode::light;
    settings.showDockIcon = true;
    fixture.model().setSettings(settings);
    EXPECT_EQ(theme->currentIndex(), 1);
    EXPECT_TRUE(taskbar->isChecked());
}

TEST_F(SettingsWindowTest, LoginSwitchWritesAndRemovesTheAutostartEntry)
{
    open();
    auto* toggle = find<ToggleSwitch>("loginSwitch");
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_EQ(texts("loginHelp"),
              QStringList{"Starts quietly in the system tray, without opening a window."});

    click("loginSwitch");
    EXPECT_TRUE(toggle->isChecked());
    const QByteArray entry = readWholeFile(autostartFile());
    EXPECT_TRUE(entry.contains("\nExec=/opt/tm/tallowmere --autostart\n")) << entry.constData();
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\n"));

    click("loginSwitch");
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_FALSE(QFile::exists(autostartFile()));
    EXPECT_TRUE(texts("loginError").isEmpty());
}

TEST_F(SettingsWindowTest, LoginSwitchShowsWhyTheEntryCouldNotBeWritten)
{
    // A file where the autostart folder should be: no one, root included, can write into it.
    temp.write(QStringLiteral("config/autostart"), "in the way");
    open();
    click("loginSwitch");
    EXPECT_FALSE(find<ToggleSwitch>("loginSwitch")->isChecked());
    const QStringList error = texts("loginError");
    ASSERT_EQ(error.size(), 1);
    EXPECT_TRUE(error[0].startsWith(QStringLiteral("Couldn't change this: ")))
        << error[0].toStdString();
    EXPECT_TRUE(error[0].endsWith(u'.'));
    EXPECT_FALSE(error[0].endsWith(QStringLiteral("..")));
    EXPECT_TRUE(texts("loginHelp").isEmpty());

    // The next successful change clears the error.
    QFile::remove(temp.filePath(QStringLiteral("config/autostart")));
    click("loginSwitch");
    EXPECT_TRUE(find<ToggleSwitch>("loginSwitch")->isChecked());
    EXPECT_TRUE(texts("loginError").isEmpty());
}

TEST_F(SettingsWindowTest, NodeSectionStoresTheChosenPathAndShowsTheStartOfPath)
{
    open();
    AppModelTestAccess::setRawShellEnv(fixture.model(), {{"PATH", "/a:/b:/c:/d:/e:/f"}});
    EXPECT_EQ(texts("pathLine"), QStringList{"PATH: /a:/b:/c:/d…"});
    AppModelTestAccess::setRawShellEnv(fixture.model(), {{"HOME", "/home/x"}});
    EXPECT_EQ(texts("pathLine"), QStringList{"PATH: …"});
    AppModelTestAccess::setRawShellEnv(fixture.model(), {{"PATH", "/a:/b:/c:/d:/e:/f"}});

    // A folder is stored as chosen (no validation) and leads the dev servers' PATH.
    const QString folder = temp.filePath(QStringLiteral("no such/bin/"));
    nodePaths << folder;
    click("chooseNodeButton");
    EXPECT_EQ(fixture.model().settings().nodePath, folder);
    EXPECT_EQ(find<QLineEdit>("nodePathField")->text(), folder);
    // A cancelled chooser changes nothing.
    click("chooseNodeButton");
    EXPECT_EQ(fixture.model().settings().nodePath, folder);

    AppModelTestAccess::setShellEnvLoaded(fixture.model(), true);
    EXPECT_EQ(texts("shellStatus"), QStringList{"Shell environment loaded"});
    click("reloadShellButton");
    EXPECT_EQ(texts("shellStatus"), QStringList{"Loading shell environment…"});
}

class SettingsPickerTest : public SettingsWindowTest
{
protected:
    SettingsPickerTest() : SettingsWindowTest({}, fakeProgramsPath()) {}

    // A PATH whose first folder holds fake kitty and code executables.
    static QMap<QString, QString> fakeProgramsPath()
    {
        static TempFolder folder;
        folder.writeScript(QStringLiteral("bin/kitty"), "exit 0\n");
        folder.writeScript(QStringLiteral("bin/code"), "exit 0\n");
        return {{QStringLiteral("PATH"), folder.filePath(QStringLiteral("bin"))},
                {QStringLiteral("HOME"), folder.path()}};
    }
};

TEST_F(SettingsPickerTest, ListsTheInstalledAppsAndStoresTheChosenIdentifier)
{
    open();
    auto* terminals = find<AppPicker>("terminalPicker");
    auto* editors = find<AppPicker>("editorPicker");
    const QList<ExternalApp>& installed = fixture.model().installedTerminals();
    ASSERT_FALSE(installed.isEmpty());
    const auto kitty = std::find_if(installed.cbegin(), installed.cend(), [](const auto& app) {
        return app.id == QStringLiteral("net.kovidgoyal.kitty");
    });
    ASSERT_NE(kitty, installed.cend());
    EXPECT_TRUE(kitty->url.endsWith(QStringLiteral("/bin/kitty")));
    QStringList expected{QString(), QString()};
    for (const ExternalApp& app : installed)
        expected << app.id;
    expected << QString() << AppPicker::otherTag;
    EXPECT_EQ(terminals->tags(), expected);
    EXPECT_EQ(terminals->itemText(0), QStringLiteral("Automatic (") + installed[0].name + u')');
    EXPECT_EQ(editors->itemText(0), QStringLiteral("Automatic (Visual Studio Code)"));

    pick(terminals, QStringLiteral("net.kovidgoyal.kitty"));
    EXPECT_EQ(fixture.model().settings().terminalApp, QStringLiteral("net.kovidgoyal.kitty"));
    EXPECT_EQ(terminals->currentText(), QStringLiteral("kitty"));

    // "Other…" stores a chosen program's path, which then has an entry of its own; a cancel
    // keeps the selection and shows it again.
    const QString program = temp.writeScript(QStringLiteral("opt/my-editor.sh"), "exit 0\n");
    programs << program << QString();
    pick(editors, AppPicker::otherTag);
    EXPECT_EQ(fixture.model().settings().editorApp, program);
    EXPECT_EQ(editors->currentText(), QStringLiteral("my-editor"));
    pick(editors, AppPicker::otherTag);
    EXPECT_EQ(fixture.model().settings().editorApp, program);
    EXPECT_EQ(editors->currentData().toString(), program);

    pick(editors, QString());
    EXPECT_TRUE(fixture.model().settings().editorApp.isEmpty());
    EXPECT_FALSE(editors->tags().contains(program));

    QTest::keyClicks(find<QLineEdit>("editorCommandField"), QStringLiteral("code -n"));
    EXPECT_EQ(fixture.model().settings().editorCommand, QStringLiteral("code -n"));
}

TEST(SettingsWindowShell, OneWindowAtATimeAndClosingItEndsIt)
{
    SupportDirOverride support;
    TempFolder home;
    AppShell shell({{QStringLiteral("HOME"), home.path()}}, LaunchPlan{});
    const auto openWindows = [] {
        int count = 0;
        for (QWidget* widget : QApplication::topLevelWidgets())
            count +=
                widget->objectName() == QStringLiteral("settingsWindow") && widget->isVisible();
        return count;
    };
    shell.showSettings();
    const QPointer<SettingsWindow> first = shell.settingsWindow();
    ASSERT_TRUE(first);
    shell.showSettings();
    EXPECT_EQ(shell.settingsWindow(), first.data());
    EXPECT_EQ(openWindows(), 1);

    first->close();
    WAIT_UNTIL(first.isNull(), 5000);
    shell.showSettings();
    EXPECT_TRUE(shell.settingsWindow());
    EXPECT_EQ(openWindows(), 1);
}

TEST(SettingsChoosers, NodeDialogTakesAFileOrAFolderAndTheAppDialogOnlyPrograms)
{
    TempFolder temp;
    const QString bin = temp.makeDir(QStringLiteral("node/bin"));
    const QString node = temp.writeScript(QStringLiteral("node/bin/node"), "exit 0\n");
    const QString notes = temp.write(QStringLiteral("node/bin/notes.txt"), "not a program");
    QWidget parent;
    parent.show();
    QStringList chosen;
    const SettingsChoosers::Chosen record = [&chosen](const QString& path) { chosen << path; };
    // Opens a chooser, selects `file` in `folder` (nothing when empty) and presses Choose.
    const auto choose = [&](const std::function<void(QWidget*, SettingsChoosers::Chosen)>& open,
                            const QString& folder, const QString& file) {
        open(&parent, record);
        auto* dialog = parent.findChild<QFileDialog*>();
        ASSERT_NE(dialog, nullptr);
        dialog->setDirectory(folder);
        if (!file.isEmpty())
            dialog->selectFile(file);
        static_cast<QDialog*>(dialog)->accept(); // the Choose button
        WAIT_UNTIL(!parent.findChild<QFileDialog*>(), 5000);
    };
    const SettingsChoosers dialogs = SettingsChoosers::dialogs();

    choose(dialogs.nodePath, bin, QString());
    choose(dialogs.nodePath, bin, node);
    EXPECT_EQ(chosen, (QStringList{bin, node}));

    chosen.clear();
    choose(dialogs.application, bin, notes);
    choose(dialogs.application, bin, node);
    EXPECT_EQ(chosen, QStringList{node});
}
