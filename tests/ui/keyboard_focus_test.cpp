#include "model/demo_data.h"
#include "ui/detail/overview/binding_diagram.h"
#include "ui/main_window.h"
#include "ui/sidebar/sidebar_list.h"
#include "ui/sidebar/sidebar_row.h"
#include "ui/sidebar/sidebar_view.h"
#include "ui/support/gui_fixture.h"
#include "ui/theme/palette.h"
#include "ui/widgets/focus_ring.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QString home = QStringLiteral("/home/demo");

QMap<QString, QString> demoEnvironment()
{
    return {{QStringLiteral("TALLOWMERE_DEMO"), QString()}};
}

// Whether the ring changes what the window shows at `widget`'s edges: at least three of the
// four bands across its sides (a few pixels out and in, away from the corners) differ between
// the window drawn with the ring and without.
bool ringDrawnAround(QWidget& window, QWidget* widget)
{
    QWidget* ring = window.findChild<QWidget*>(QStringLiteral("focusRing"));
    if (!ring || !ring->isVisible())
        return false;
    const QImage with = window.grab().toImage();
    ring->hide();
    const QImage without = window.grab().toImage();
    ring->show();
    const QRect r(widget->mapTo(&window, QPoint(0, 0)), widget->size());
    const auto differs = [&](QRect band) {
        band = band.intersected(with.rect());
        for (int y = band.top(); y <= band.bottom(); ++y)
            for (int x = band.left(); x <= band.right(); ++x)
                if (with.pixel(x, y) != without.pixel(x, y))
                    return true;
        return false;
    };
    const int inset = qMin(r.width(), r.height()) / 3;
    const int sides =
        int(differs(QRect(r.left() + inset, r.top() - 4, r.width() - 2 * inset, 7))) +
        int(differs(QRect(r.left() + inset, r.bottom() - 2, r.width() - 2 * inset, 7))) +
        int(differs(QRect(r.left() - 4, r.top() + inset, 7, r.height() - 2 * inset))) +
        int(differs(QRect(r.right() - 2, r.top() + inset, 7, r.height() - 2 * inset)));
    return sides >= 3;
}

QString nameOf(const QWidget* w)
{
    return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                     : w->objectName();
}

} // namespace

// Tab walks the whole window; wherever the focus lands the user sees it (the window's ring, the
// selected sidebar row, the diagram's card); a click shows no ring.
TEST(KeyboardFocus, EveryStopOfTheTabWalkShowsTheFocusAndClicksDoNot)
{
    GuiFixture fixture({}, demoEnvironment());
    AppModel& model = fixture.model();
    loadDemo(model, demoEnvironment(), home);
    MainWindow window(fixture.ui());
    window.resize(1180, 900);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    SidebarList* list = window.sidebar()->list();

    // Whether something on the screen marks the focus where it is.
    const auto indicated = [&](QWidget* focus) -> bool {
        if (focus == list) {
            list->rebuildNow();
            SidebarRow* row = list->rowFor(*model.selection());
            if (!row || !row->showsFocusRing())
                return false;
            const QImage drawn = row->grab().toImage();
            const QColor accent = fixture.theme().palette().accent;
            for (int x = 0; x < drawn.width(); ++x) // the ring crosses the row's middle
                if (drawn.pixelColor(x, drawn.height() / 2) == accent)
                    return true;
            return false;
        }
        if (auto* diagram = qobject_cast<BindingDiagram*>(focus))
            return diagram->showsFocusRing();
        return window.focusRing()->ringed() == focus && ringDrawnAround(window, focus);
    };
    // Tabs once round the window from the sidebar list, checking every stop.
    const auto walk = [&](const QString& stopAt = QString()) {
        QStringList stops;
        for (int i = 0; i < 60; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            if (!focus || focus == list || nameOf(focus) == stopAt)
                break;
            stops << nameOf(focus);
            EXPECT_TRUE(indicated(focus)) << "no focus shown on " << nameOf(focus).toStdString();
        }
        return stops;
    };

    // The start-up focus (from code) is on the list, and shows nothing until the keyboard
    // moves; then the selected row is marked.
    ASSERT_EQ(QApplication::focusWidget(), list);
    list->rebuildNow();
    EXPECT_FALSE(list->rowFor(*model.selection())->showsFocusRing());
    QTest::keyClick(list, Qt::Key_Up); // on the first project: stays there
    EXPECT_TRUE(indicated(list));

    const QStringList overview = walk();
    for (const char* stop : {"headerStop", "headerRestart", "headerAddress", "tabItem_overview",
                             "tabItem_logs", "tabItem_explorer", "tabItem_settings",
                             "layoutDiagram", "bindingDiagram", "startMissingService"})
        EXPECT_TRUE(overview.contains(QLatin1String(stop))) << stop;

    // Back on the list by Tab: the row shows it. Into the Logs tab from the keyboard.
    EXPECT_TRUE(indicated(QApplication::focusWidget()));
    walk(QStringLiteral("tabItem_logs"));
    ASSERT_EQ(nameOf(QApplication::focusWidget()), QStringLiteral("tabItem_logs"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(model.selectedTab(), DetailTab::logs);
    const QStringList logs = walk();
    for (const char* stop : {"logsText", "logsFilter", "logsProblemsOnly", "logsFollow", "logsCopy",
                             "logsSave", "logsClear"})
        EXPECT_TRUE(logs.contains(QLatin1String(stop))) << stop;

    // Clicks: on a row, on the filter field. Neither shows a ring.
    QTest::mouseClick(list->rowFor(*model.selection()), Qt::LeftButton);
    EXPECT_EQ(QApplication::focusWidget(), list);
    EXPECT_FALSE(list->rowFor(*model.selection())->showsFocusRing());
    QWidget* filter = window.findChild<QWidget*>(QStringLiteral("logsFilter"));
    ASSERT_NE(filter, nullptr);
    QTest::mouseClick(filter, Qt::LeftButton);
    EXPECT_EQ(QApplication::focusWidget(), filter);
    EXPECT_EQ(window.focusRing()->ringed(), nullptr);
    EXPECT_FALSE(ringDrawnAround(window, filter));
}
