#include "runs/project_runtime.h"
#include "support/qt_gtest_printers.h"
#include "support/run_state_access.h"
#include "support/temp_folder.h"
#include "support/wait_until.h"
#include "ui/logs/log_find_bar.h"
#include "ui/logs/log_text_view.h"
#include "ui/logs/logs_tab.h"
#include "ui/main_window.h"
#include "ui/support/gui_fixture.h"
#include "ui/widgets/empty_state_block.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QVariantAnimation>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

const QString api = QStringLiteral("/home/dev/Sites/aurora/api");

Registry logsRegistry()
{
    Registry registry;
    registry.roots = {QStringLiteral("/home/dev/Sites")};
    registry.projects = {testProject(api, QStringLiteral("api"), registry.roots[0])};
    return registry;
}

// The main window showing the Logs tab of one project.
class LogsTabTest : public ::testing::Test
{
protected:
    LogsTabTest() : fixture(logsRegistry()), window(fixture.ui())
    {
        fixture.model().select(api);
        fixture.model().setSelectedTab(DetailTab::logs);
        window.resize(1000, 700);
        window.show();
    }

    LogsTab* tab() { return window.findChild<LogsTab*>(QStringLiteral("logsTab")); }
    LogTextView* text() { return tab()->textView(); }
    template <typename T> T* child(const char* name)
    {
        return tab()->findChild<T*>(QString::fromLatin1(name));
    }
    EmptyStateBlock* empty() { return child<EmptyStateBlock>("logsEmptyState"); }
    bool showsText() { return text()->isVisible(); }
    LogBuffer* log() { return fixture.model().runtimeFor(api)->log(); }
    // Appends one batch and lets the event loop run until the text has taken it.
    void append(const QStringList& texts)
    {
        appendNow(texts);
        WAIT_UNTIL(!tab()->appendPending(), 2000);
    }
    void appendNow(const QStringList& texts)
    {
        OutputLines batch;
        for (const QString& text : texts)
            batch.append(OutputLine{text, false});
        log()->append(batch);
    }
    QStringList shownLines()
    {
        QStringList lines;
        for (QTextBlock b = text()->document()->begin(); b.isValid(); b = b.next())
            lines.append(b.text());
        return lines;
    }
    QStringList visibleTexts()
    {
        QStringList texts;
        for (const LogLine& line : log()->lines())
            texts.append(line.text);
        return texts;
    }
    QColor colourOfLine(int number)
    {
        const QTextBlock block = text()->document()->findBlockByNumber(number);
        return block.begin().fragment().charFormat().foreground().color();
    }
    QString lineCount() { return child<QLabel>("logsLineCount")->text(); }
    // The reader turns the mouse wheel over the text: positive notches scroll up.
    void wheel(int notches)
    {
        const QPoint at = text()->viewport()->rect().center();
        QWheelEvent event(at, text()->viewport()->mapToGlobal(at), QPoint(),
                          QPoint(0, notches * 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(text()->viewport(), &event);
    }

    GuiFixture fixture;
    MainWindow window;
};

} // namespace

// The empty states in their order of precedence, and the text once lines are there.
TEST_F(LogsTabTest, EmptyStatesGiveWayToTheTextAndBack)
{
    ASSERT_NE(tab(), nullptr);
    EXPECT_FALSE(showsText());
    EXPECT_EQ(empty()->title(), "No output yet");
    EXPECT_EQ(empty()->icon(), "scroll-text");
    WAIT_UNTIL(lineCount() == "0 lines", 2000);

    // A server started elsewhere: nothing can be captured, until the application writes a line.
    ProjectRuntime* runtime = fixture.model().runtimeFor(api);
    RunStateTestAccess::setExternal(*runtime, true);
    EXPECT_EQ(empty()->title(), "Logs unavailable");
    EXPECT_EQ(empty()->icon(), "terminal");
    runtime->log()->append(RuntimeLog::attachedToRunning(4242), false);
    EXPECT_TRUE(showsText());
    EXPECT_EQ(shownLines(), QStringList{RuntimeLog::attachedToRunning(4242)});

    append({"GET /a 200", "GET /b 500"});
    WAIT_UNTIL(lineCount() == "3 lines", 2000);

    // A filter that matches nothing names itself; clearing it brings the text back.
    auto* filter = child<QLineEdit>("logsFilter");
    auto* clearFilter = child<QAction>("logsFilterClear");
    EXPECT_FALSE(clearFilter->isVisible());
    QTest::keyClicks(filter, QStringLiteral("Teapot"));
    EXPECT_TRUE(clearFilter->isVisible());
    EXPECT_FALSE(showsText());
    EXPECT_EQ(empty()->title(), "No matches");
    EXPECT_EQ(empty()->text(), "Nothing matches “Teapot”.");
    WAIT_UNTIL(lineCount() == "0 lines", 2000);
    // Case is ignored; the new text holds only the matches.
    filter->setText(QStringLiteral("get /"));
    EXPECT_EQ(shownLines(), (QStringList{"GET /a 200", "GET /b 500"}));
    clearFilter->trigger();
    EXPECT_EQ(filter->text(), "");
    EXPECT_EQ(shownLines().size(), 3);

    // Clear empties the project's log; ids go on.
    child<QPushButton>("logsClear")->click();
    EXPECT_TRUE(log()->lines().isEmpty());
    EXPECT_FALSE(showsText());
    EXPECT_EQ(empty()->title(), "Logs unavailable") << "still a server started elsewhere";
    RunStateTestAccess::setExternal(*runtime, false);
    EXPECT_EQ(empty()->title(), "No output yet");
    append({"after"});
    EXPECT_EQ(shownLines(), QStringList{"after"});
    EXPECT_EQ(log()->lines().first().id, 3);
}

// Lines added at the end are appended and the oldest cut from the front, without building the
// text anew: a selection survives, and the text stays the log's (or the filter's) lines.
TEST_F(LogsTabTest, TheTextFollowsTheBoundedLogIncrementally)
{
    const auto numbered = [](int from, int to) {
        QStringList lines;
        for (int i = from; i < to; ++i)
            lines.append(
                (i % 1000 == 0 ? QStringLiteral("warn %1") : QStringLiteral("line %1")).arg(i));
        return lines;
    };
    append(numbered(0, 5000));
    ASSERT_EQ(text()->lineCount(), 5000);
    QTextCursor selection(text()->document()->findBlockByNumber(4999));
    selection.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    text()->setTextCursor(selection);
    ASSERT_EQ(text()->selectedLogText(), "line 4999");

    // 600 more cross 5,500: the log drops its oldest 600, the text its first 600 blocks.
    append(numbered(5000, 5600));
    ASSERT_EQ(log()->lines().size(), 5000);
    const QStringList shown = shownLines();
    ASSERT_EQ(shown.size(), 5000);
    EXPECT_EQ(shown.first(), "line 600");
    EXPECT_EQ(shown.last(), "line 5599");
    EXPECT_EQ(text()->selectedLogText(), "line 4999") << "appending rebuilt the text";
    EXPECT_EQ(colourOfLine(400), QColor(QStringLiteral("#F59E0B"))) << "warn 1000";

    // Through a filter only the matches are appended, and dropped matches leave the front.
    child<QLineEdit>("logsFilter")->setText(QStringLiteral("WARN"));
    EXPECT_EQ(shownLines(),
              (QStringList{"warn 1000", "warn 2000", "warn 3000", "warn 4000", "warn 5000"}));
    QStringList quiet(500, QStringLiteral("quiet"));
    quiet.append(QStringLiteral("warn last"));
    append(quiet); // 5,501 lines: the oldest 501 go, "warn 1000" among them
    EXPECT_EQ(shownLines(),
              (QStringList{"warn 2000", "warn 3000", "warn 4000", "warn 5000", "warn last"}));
    WAIT_UNTIL(lineCount() == "5 lines", 2000);

    // Batches in quick succession: the first shows at once, the rest together a moment later,
    // in order, with the oldest that the log dropped meanwhile gone from the front.
    child<QLineEdit>("logsFilter")->clear();
    QTest::qWait(LogsTab::appendInterval + 10);
    appendNow({"first"});
    EXPECT_EQ(shownLines().last(), "first");
    appendNow({"second"});
    appendNow(QStringList(600, QStringLiteral("third")));
    EXPECT_EQ(shownLines().last(), "first") << "the text is updated at most once an interval";
    WAIT_UNTIL(!tab()->appendPending(), 2000);
    EXPECT_EQ(shownLines(), visibleTexts());
    EXPECT_EQ(shownLines().last(), "third");
}

// Follow keeps the end in view after every update. The reader scrolling up pauses it (the
// button says so) and scrolling back to the end resumes it; the button turns it off and on.
TEST_F(LogsTabTest, FollowPausesWhileTheReaderScrollsUpAndResumesAtTheEnd)
{
    auto* follow = child<QPushButton>("logsFollow");
    EXPECT_TRUE(follow->isChecked());
    QScrollBar* bar = text()->verticalScrollBar();
    append(QStringList(400, QStringLiteral("busy")));
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    bar->setValue(0); // moved by the program, not the reader: still following
    append({"more"});
    EXPECT_EQ(bar->value(), bar->maximum());

    wheel(+1); // up
    EXPECT_TRUE(text()->followPaused());
    EXPECT_EQ(follow->text(), "Paused");
    EXPECT_TRUE(follow->isChecked());
    const int reading = bar->value();
    ASSERT_LT(reading, bar->maximum());
    append(QStringList(50, QStringLiteral("even more")));
    EXPECT_EQ(bar->value(), reading) << "new lines yanked the reader to the end";
    EXPECT_TRUE(text()->scrollBarRevealed()) << "the scroll bar shows while scrolling";

    // Back at the end, it follows again.
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_FALSE(text()->followPaused());
    EXPECT_EQ(follow->text(), "Follow");
    append({"latest"});
    EXPECT_EQ(bar->value(), bar->maximum());
    WAIT_UNTIL(!text()->scrollBarRevealed(), LogTextView::scrollBarLinger + 2000);

    // Pressing the button while paused goes back to the end and stays on.
    wheel(+3);
    ASSERT_TRUE(text()->followPaused());
    follow->click();
    EXPECT_TRUE(follow->isChecked());
    EXPECT_FALSE(text()->followPaused());
    EXPECT_EQ(bar->value(), bar->maximum());

    // Off: nothing moves; on again: to the end at once.
    follow->click();
    EXPECT_FALSE(text()->follow());
    bar->setValue(10);
    append(QStringList(50, QStringLiteral("even more")));
    EXPECT_EQ(bar->value(), 10);
    wheel(-1);
    EXPECT_FALSE(text()->followPaused()) << "no pause while Follow is off";
    follow->click();
    EXPECT_EQ(bar->value(), bar->maximum()) << "turning it on goes to the end";
}

TEST_F(LogsTabTest, ASchemeChangeRebuildsTheColours)
{
    append({"Error: boom", "GET / 200", "▶ npm run dev"});
    EXPECT_EQ(colourOfLine(0), QColor(QStringLiteral("#B00020")));
    EXPECT_EQ(colourOfLine(2), QColor(QStringLiteral("#FF3253")));
    const QColor background = text()->palette().color(QPalette::Base);
    EXPECT_EQ(background, QColor(QStringLiteral("#FBF7EE")));
    fixture.theme().setMode(AppearanceMode::dark);
    EXPECT_EQ(colourOfLine(0), QColor(QStringLiteral("#FF6B6B")));
    EXPECT_EQ(text()->palette().color(QPalette::Base), QColor(QStringLiteral("#101010")));
    EXPECT_NEAR(text()->palette().color(QPalette::Highlight).alphaF(), 0.25, 0.01);
    EXPECT_EQ(shownLines().size(), 3);
}

TEST_F(LogsTabTest, CopyTakesTheSelectionElseTheVisibleLinesAndSaysCopiedForAMoment)
{
    append({"GET /a 200", "GET /b 500", "POST /c 500"});
    auto* copy = child<QPushButton>("logsCopy");
    copy->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "GET /a 200\nGET /b 500\nPOST /c 500");
    EXPECT_EQ(copy->text(), "Copied");
    WAIT_UNTIL(copy->text() == "Copy", LogsTab::copiedDuration + 2000);

    child<QLineEdit>("logsFilter")->setText(QStringLiteral("500"));
    copy->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "GET /b 500\nPOST /c 500");

    QTextCursor cursor(text()->document()->findBlockByNumber(0));
    cursor.setPosition(text()->document()->findBlockByNumber(1).position() + 4,
                       QTextCursor::KeepAnchor);
    text()->setTextCursor(cursor);
    copy->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "GET /b 500\nPOST");
}

TEST_F(LogsTabTest, SaveWritesTheVisibleLinesWhereTheChooserSays)
{
    TempFolder folder;
    QString proposed;
    const QString target = folder.filePath(QStringLiteral("saved.log"));
    tab()->setSaveChooser([&](const QString& suggestion, QWidget*,
                              const std::function<void(const QString&)>& chosen) {
        proposed = suggestion;
        chosen(target);
    });
    // The text shows a very long line shortened; the file gets all of it.
    const QString dump = QStringLiteral("GET ") + QString(3000, QLatin1Char('x'));
    append({"GET /a 200", "GET /b 500", "POST /c 500", dump});
    EXPECT_EQ(shownLines().last(),
              dump.first(LogTextView::maxLineChars) + QStringLiteral(" … [1004 more characters]"));
    child<QLineEdit>("logsFilter")->setText(QStringLiteral("GET"));
    child<QPushButton>("logsSave")->click();
    EXPECT_TRUE(QFileInfo(proposed).fileName().startsWith(QStringLiteral("api 2")))
        << qPrintable(proposed);
    EXPECT_TRUE(proposed.endsWith(QStringLiteral(".log")));
    EXPECT_EQ(readWholeFile(target), "GET /a 200\nGET /b 500\n" + dump.toUtf8() + "\n");

    // A file that cannot be written is reported, not silently lost.
    tab()->setSaveChooser(
        [&](const QString&, QWidget*, const std::function<void(const QString&)>& chosen) {
            chosen(folder.filePath(QStringLiteral("missing/folder/saved.log")));
        });
    child<QPushButton>("logsSave")->click();
    EXPECT_EQ(fixture.desktop().alerts.messages(), QStringList{"Couldn't save the log"});
}

// Ctrl+L and Ctrl+Shift+F reach the filter from anywhere in the window (Ctrl+F is the find
// bar's); the filter keeps its text while the same project stays shown.
TEST_F(LogsTabTest, TheFilterHasItsOwnShortcutsAndOutlivesATabSwitch)
{
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    auto* filter = child<QLineEdit>("logsFilter");
    EXPECT_TRUE(filter->toolTip().contains("Ctrl+L")) << qPrintable(filter->toolTip());
    text()->setFocus();
    QTest::keyClick(text(), Qt::Key_L, Qt::ControlModifier);
    EXPECT_TRUE(filter->hasFocus());
    text()->setFocus();
    QTest::keyClick(text(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(filter->hasFocus());
    QTest::keyClicks(filter, QStringLiteral("GET"));

    fixture.model().setSelectedTab(DetailTab::overview);
    fixture.model().setSelectedTab(DetailTab::logs);
    EXPECT_EQ(child<QLineEdit>("logsFilter")->text(), "GET");
}

// The find bar over a full buffer: every match counted and the ones in view highlighted, the
// current one marked and brought into view, Enter / Shift+Enter and F3 / Shift+F3 wrapping past
// either end, matches following the bounded log, Escape closing.
TEST_F(LogsTabTest, TheFindBarWalksEveryMatchOfAFullBuffer)
{
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QStringList lines;
    for (int i = 0; i < 5500; ++i)
        lines.append(i % 500 == 250 ? QStringLiteral("GET /needle/%1 500").arg(i)
                                    : QStringLiteral("GET /api/items/%1 200 OK").arg(i));
    append(lines);
    ASSERT_EQ(text()->lineCount(), 5500);
    auto* bar = tab()->findBar();
    auto* field = child<QLineEdit>("logsFindField");
    EXPECT_FALSE(bar->isVisible());

    text()->setFocus();
    QTest::keyClick(text(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(bar->isVisible());
    EXPECT_TRUE(field->hasFocus());
    QTest::keyClicks(field, QStringLiteral("NEEDLE"));
    // From the end (Follow), the search wraps to the first match and shows it.
    EXPECT_EQ(bar->countText(), "1 of 11");
    const auto currentLine = [&] { return text()->currentMatch().block().text(); };
    EXPECT_EQ(currentLine(), "GET /needle/250 500");
    EXPECT_EQ(text()->currentMatch().selectedText(), "needle");
    const QRect inView = text()->viewport()->rect();
    EXPECT_TRUE(inView.contains(text()->cursorRect(text()->currentMatch())));
    EXPECT_TRUE(text()->followPaused()) << "a match above the end pauses Follow";
    const QList<QTextEdit::ExtraSelection> marks = text()->extraSelections();
    ASSERT_FALSE(marks.isEmpty());
    EXPECT_LT(marks.size(), 11) << "only what is in view is drawn";
    const auto isCurrent = [&](const QTextEdit::ExtraSelection& mark) {
        return mark.cursor.selectionStart() == text()->currentMatch().selectionStart();
    };
    EXPECT_EQ(std::count_if(marks.cbegin(), marks.cend(), isCurrent), 1);
    const auto current =
        std::find_if(marks.cbegin(), marks.cend(), isCurrent)->format.background().color();
    for (const auto& mark : marks) {
        if (!isCurrent(mark)) {
            EXPECT_NE(mark.format.background().color(), current) << "the current one is marked";
        }
    }

    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(bar->countText(), "2 of 11");
    EXPECT_EQ(currentLine(), "GET /needle/750 500");
    QTest::keyClick(field, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClick(field, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(bar->countText(), "11 of 11") << "previous past the first";
    EXPECT_EQ(currentLine(), "GET /needle/5250 500");
    EXPECT_TRUE(inView.contains(text()->cursorRect(text()->currentMatch())));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(bar->countText(), "1 of 11") << "next past the last";
    text()->setFocus();
    QTest::keyClick(text(), Qt::Key_F3);
    EXPECT_EQ(bar->countText(), "2 of 11");
    QTest::keyClick(text(), Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(bar->countText(), "1 of 11");

    // The log drops its oldest lines (and the current match with them) and gains a match.
    QStringList more(100, QStringLiteral("quiet"));
    more.append(QStringLiteral("a needle at the end"));
    append(more);
    ASSERT_EQ(log()->lines().size(), 5000); // lines 0..600 are gone
    EXPECT_EQ(bar->countText(), "1 of 11");
    EXPECT_EQ(currentLine(), "GET /needle/750 500");

    // Typing on refines from the current match; nothing found says so.
    QTest::keyClicks(field, QStringLiteral("/7"));
    EXPECT_EQ(bar->countText(), "1 of 1");
    QTest::keyClicks(field, QStringLiteral("x"));
    EXPECT_EQ(bar->countText(), "No matches");
    EXPECT_TRUE(text()->extraSelections().isEmpty());
    field->setText(QStringLiteral("needle"));
    EXPECT_EQ(bar->countText(), "1 of 11");

    // The filter narrows what is searched.
    child<QLineEdit>("logsFilter")->setText(QStringLiteral("/needle/"));
    EXPECT_EQ(bar->countText().section(' ', 2), "10");

    // Escape closes and clears the marks; Ctrl+F brings the query back, selected.
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_TRUE(text()->extraSelections().isEmpty());
    EXPECT_TRUE(text()->hasFocus());
    QTest::keyClick(text(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(field->selectedText(), "needle");
    EXPECT_EQ(bar->countText().section(' ', 2), "10");
    QTest::keyClick(text(), Qt::Key_Escape);
    EXPECT_FALSE(bar->isVisible()) << "Escape from the text closes it too";
}

// Errors and warnings only: the lines drawn red or amber, each with the stack frames under it
// (also when they arrive in the next batch), combined with the text filter.
TEST_F(LogsTabTest, TheProblemsToggleKeepsErrorsAndWarningsWithTheirStacks)
{
    append({"[wrangler:info] GET / 200 OK (3ms)", "✘ [ERROR] Error: boom",
            "    at handler (src/index.ts:3:9)", "    at run (node:internal:1:1)",
            "[wrangler:info] GET /api 500 Internal Server Error (9ms)", "GET /b 200",
            "    at orphan (x.js:1:1)", "▲ [WARNING] slow request"});
    auto* problems = child<QPushButton>("logsProblemsOnly");
    problems->click();
    EXPECT_EQ(shownLines(),
              (QStringList{"✘ [ERROR] Error: boom", "    at handler (src/index.ts:3:9)",
                           "    at run (node:internal:1:1)",
                           "[wrangler:info] GET /api 500 Internal Server Error (9ms)",
                           "▲ [WARNING] slow request"}));
    // A frame in the next batch still belongs to the warning; one after a quiet line does not.
    append({"    at later (y.js:2:2)", "GET /c 200", "    at stray (z.js:3:3)"});
    EXPECT_EQ(shownLines().last(), "    at later (y.js:2:2)");
    EXPECT_EQ(shownLines().size(), 6);
    WAIT_UNTIL(lineCount() == "6 lines", 2000);

    child<QLineEdit>("logsFilter")->setText(QStringLiteral("boom"));
    EXPECT_EQ(shownLines(),
              (QStringList{"✘ [ERROR] Error: boom", "    at handler (src/index.ts:3:9)",
                           "    at run (node:internal:1:1)"}));
    child<QLineEdit>("logsFilter")->clear();
    problems->click();
    EXPECT_EQ(shownLines().size(), 11);
}

// Reading comfort: lines 2 points apart, and copying across a shortened line copies all of it.
TEST_F(LogsTabTest, LinesAreSpacedAndAShortenedLineCopiesWhole)
{
    const QString dump = QStringLiteral("DUMP ") + QString(3000, QLatin1Char('x')) + "END";
    append({"before", dump, "after"});
    const QTextBlock first = text()->document()->firstBlock();
    EXPECT_EQ(text()->document()->documentLayout()->blockBoundingRect(first).height(),
              first.layout()->boundingRect().height() + LogTextView::lineSpacing);

    QTextCursor cursor(first);
    cursor.setPosition(first.position() + 3);
    cursor.setPosition(first.next().next().position() + 2, QTextCursor::KeepAnchor);
    text()->setTextCursor(cursor);
    EXPECT_EQ(text()->selectedLogText(), "ore\n" + dump + "\naf");
    // Within the shown part of the long line, the selection is what it shows.
    cursor.setPosition(first.next().position() + 1);
    cursor.setPosition(first.next().position() + 4, QTextCursor::KeepAnchor);
    text()->setTextCursor(cursor);
    EXPECT_EQ(text()->selectedLogText(), "UMP");

    auto* copy = child<QPushButton>("logsCopy");
    copy->click();
    auto* fade = tab()->findChild<QVariantAnimation*>(QStringLiteral("logsCopiedAnimation"));
    ASSERT_NE(fade, nullptr);
    EXPECT_EQ(fade->duration(), LogsTab::copiedFade);
    EXPECT_EQ(fade->easingCurve().type(), QEasingCurve::OutCubic);
}
