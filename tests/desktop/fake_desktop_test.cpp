#include "support/fake_desktop.h"
#include "support/qt_gtest_printers.h"

#include <gtest/gtest.h>

// The fakes are shared by the model's and the GUI's tests, so their scripting must be right.
TEST(FakeDesktop, AlertsAnswerFromTheQueueOrStayPendingAndJournalInOrder)
{
    FakeDesktop desktop;
    QList<int> choices;
    const Alert confirm{QStringLiteral("Quit?"),
                        {},
                        {QStringLiteral("Quit"), QStringLiteral("Cancel")},
                        AlertStyle::warning};

    desktop.alerts.queueAnswer(1);
    desktop.alerts.show(confirm, [&](int choice) { choices.append(choice); });
    EXPECT_EQ(choices, QList<int>{1});
    EXPECT_EQ(desktop.alerts.pendingCount(), 0);

    // No answer queued: pending until the test answers; a callback may show the next alert.
    desktop.alerts.show(confirm, [&](int choice) {
        choices.append(choice);
        desktop.alerts.show(Alert{QStringLiteral("Next")});
    });
    EXPECT_EQ(desktop.alerts.pendingCount(), 1);
    EXPECT_TRUE(desktop.alerts.dismissPending());
    EXPECT_EQ(choices, (QList<int>{1, 1})); // Escape chooses "Cancel"
    EXPECT_EQ(desktop.alerts.pendingCount(), 1);
    EXPECT_TRUE(desktop.alerts.answerPending(0));
    EXPECT_FALSE(desktop.alerts.answerPending(0));

    desktop.presence.applyTaskbarPolicy(TaskbarPolicy::trayOnly);
    desktop.presence.bringToFront();
    desktop.workspace.revealInFileManager(QStringLiteral("/p"));
    EXPECT_EQ(desktop.journal,
              (QStringList{QStringLiteral("alert:Quit?"), QStringLiteral("alert:Quit?"),
                           QStringLiteral("alert:Next"), QStringLiteral("taskbar:trayOnly"),
                           QStringLiteral("bringToFront"), QStringLiteral("reveal:/p")}));
}

TEST(FakeDesktop, DismissalPicksCancelElseTheLastButton)
{
    EXPECT_EQ(dismissalChoice(Alert{QStringLiteral("m")}), 0);
    EXPECT_EQ(dismissalChoice(Alert{
                  QStringLiteral("m"), {}, {QStringLiteral("Stop"), QStringLiteral("Cancel")}}),
              1);
    EXPECT_EQ(dismissalChoice(Alert{
                  QStringLiteral("m"),
                  {},
                  {QStringLiteral("Stop All"), QStringLiteral("Keep"), QStringLiteral("Later")}}),
              2);
}
