#include "support/wait_until.h"
#include "ui/desktop/gui_alert_presenter.h"
#include "ui/desktop/gui_presence.h"
#include "ui/theme/theme.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QMessageBox* openAlertBox()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget);
            box && box->objectName() == QStringLiteral("alertBox") && box->isVisible())
            return box;
    return nullptr;
}

QAbstractButton* buttonTitled(QMessageBox* box, const QString& title)
{
    for (QAbstractButton* button : box->buttons())
        if (button->text() == title)
            return button;
    return nullptr;
}

struct Answers
{
    QList<int> choices;
    AlertPresenter::Choice record()
    {
        return [this](int choice) { choices.append(choice); };
    }
};

const Alert stopAlert{QStringLiteral("Stop the server?"),
                      QStringLiteral("It was started elsewhere."),
                      {QStringLiteral("Stop"), QStringLiteral("Cancel")},
                      AlertStyle::warning};

} // namespace

TEST(GuiAlertPresenter, ShowsTheButtonsInOrderAndReportsTheClickedIndexOnce)
{
    GuiAlertPresenter presenter;
    Answers answers;
    presenter.show(stopAlert, answers.record());
    QMessageBox* box = openAlertBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("Stop the server?"));
    EXPECT_EQ(box->informativeText(), QStringLiteral("It was started elsewhere."));
    EXPECT_EQ(box->defaultButton()->text(), QStringLiteral("Stop"));
    EXPECT_TRUE(answers.choices.isEmpty()); // the caller is not blocked

    buttonTitled(box, QStringLiteral("Stop"))->click();
    WAIT_UNTIL(openAlertBox() == nullptr, 5000);
    EXPECT_EQ(answers.choices, QList<int>{0});
}

TEST(GuiAlertPresenter, EscapeChoosesCancelAndAPlainAlertAnswersZero)
{
    GuiAlertPresenter presenter;
    Answers answers;
    presenter.show(stopAlert, answers.record());
    QMessageBox* box = openAlertBox();
    ASSERT_NE(box, nullptr);
    QTest::keyClick(box, Qt::Key_Escape);
    WAIT_UNTIL(openAlertBox() == nullptr, 5000);
    EXPECT_EQ(answers.choices, QList<int>{1});

    // No buttons given: a single "OK", answered with 0.
    presenter.show(Alert{QStringLiteral("No wrangler config."), {}, {}, AlertStyle::warning},
                   answers.record());
    box = openAlertBox();
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->buttons().first()->text(), QStringLiteral("OK"));
    box->buttons().first()->click();
    WAIT_UNTIL(openAlertBox() == nullptr, 5000);
    EXPECT_EQ(answers.choices, (QList<int>{1, 0}));
}

TEST(GuiAlertPresenter, AnAlertDestroyedUnansweredStillAnswersWithTheDismissal)
{
    GuiAlertPresenter presenter;
    Answers answers;
    presenter.show(
        Alert{QStringLiteral("Quit?"), {}, {QStringLiteral("Quit"), QStringLiteral("Later")}},
        answers.record());
    QMessageBox* box = openAlertBox();
    ASSERT_NE(box, nullptr);
    delete box;
    // Without a "Cancel" the last button is the dismissal.
    EXPECT_EQ(answers.choices, QList<int>{1});
}

TEST(GuiPresence, AppearanceGoesToTheThemeAndTheTaskbarPolicyToTheWindow)
{
    Theme theme;
    GuiPresence presence(theme);
    presence.applyAppearance(AppearanceMode::dark);
    EXPECT_TRUE(theme.isDark());
    presence.applyAppearance(AppearanceMode::light);
    EXPECT_FALSE(theme.isDark());

    QWidget window;
    presence.setMainWindow(&window);
    window.show();
    presence.applyTaskbarPolicy(TaskbarPolicy::trayOnly);
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::Tool));
    EXPECT_TRUE(window.isVisible()); // re-shown after the flag change
    presence.applyTaskbarPolicy(TaskbarPolicy::shown);
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::Tool));

    // The settings window follows the policy too, and switching it from there leaves the
    // closed main window closed.
    QWidget settings;
    presence.addWindow(&settings);
    settings.show();
    window.close();
    presence.applyTaskbarPolicy(TaskbarPolicy::trayOnly);
    EXPECT_TRUE(settings.windowFlags().testFlag(Qt::Tool));
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::Tool));
    EXPECT_TRUE(settings.isVisible());
    EXPECT_FALSE(window.isVisible());
    // One opened later gets the flag at once.
    QWidget about;
    presence.addWindow(&about);
    EXPECT_TRUE(about.windowFlags().testFlag(Qt::Tool));
    presence.applyTaskbarPolicy(TaskbarPolicy::shown);
    EXPECT_FALSE(settings.windowFlags().testFlag(Qt::Tool));
    EXPECT_FALSE(about.windowFlags().testFlag(Qt::Tool));
    EXPECT_FALSE(window.isVisible());
    window.show();

    presence.applyTaskbarPolicy(TaskbarPolicy::prohibited);
    EXPECT_FALSE(window.isVisible());
    presence.bringToFront(); // no window may show while prohibited
    EXPECT_FALSE(window.isVisible());
    presence.applyTaskbarPolicy(TaskbarPolicy::shown);
    presence.bringToFront();
    EXPECT_TRUE(window.isVisible());
}
