#include "discovery/project_info.h"
#include "support/qt_gtest_printers.h"
#include "ui/logs/log_presentation.h"
#include "ui/project_settings/run_settings_rules.h"
#include "ui/theme/palette.h"

#include <gtest/gtest.h>

// The rules of the Logs and Settings tabs that need no widget.

namespace {

using C = LogLineStyle::Color;
using W = LogLineStyle::Weight;

QList<LogLine> logOf(const QStringList& texts)
{
    QList<LogLine> lines;
    for (const QString& text : texts)
        lines.append(LogLine{lines.size(), text, false});
    return lines;
}

} // namespace

TEST(LogLineStyle, TheFirstMatchingRuleWins)
{
    const QList<std::pair<QString, LogLineStyle>> cases = {
        // A stack frame is quiet even when it names an error; "at" later in a line is not one.
        {"    at handleError (src/index.ts:12:5)", {C::secondary, W::regular}},
        {"TypeError: x is undefined at runtime", {C::error, W::regular}},
        {"attempt 2", {C::primary, W::regular}},
        {"▶ npx wrangler dev --port 8787", {C::accent, W::semibold}},
        {"▶ build failed", {C::accent, W::semibold}},
        {"■ process exited (code 1)", {C::secondary, W::medium}},
        {"↪ A dev server is already running (pid 42); attached to it.", {C::secondary, W::medium}},
        {"✖ posix_spawn failed: No such file", {C::error, W::regular}},
        {"Uncaught EXCEPTION", {C::error, W::regular}},
        // "warn" with "failed" takes the error colour.
        {"[WARN] upload failed, retrying", {C::error, W::regular}},
        {"▲ [WARNING] compatibility date", {C::warning, W::regular}},
        {"[wrangler:info] Ready on http://localhost:8787", {C::success, W::regular}},
        {"Server listening on port 3000", {C::success, W::regular}},
        {"Starting local server...", {C::success, W::regular}},
        {"GET / 200 OK (3ms)", {C::primary, W::regular}},
    };
    for (const auto& [text, style] : cases)
        EXPECT_EQ(LogLineStyle::of(text), style) << qPrintable(text);

    const Palette dark = Palette::forScheme(Scheme::dark);
    const Palette light = Palette::forScheme(Scheme::light);
    EXPECT_EQ(LogLineStyle::colorOf(C::error, dark), QColor(QStringLiteral("#FF6B6B")));
    EXPECT_EQ(LogLineStyle::colorOf(C::error, light), QColor(QStringLiteral("#B00020")));
    EXPECT_EQ(LogLineStyle::colorOf(C::warning, light), QColor(QStringLiteral("#F59E0B")));
    EXPECT_EQ(LogLineStyle::colorOf(C::success, dark), QColor(QStringLiteral("#10B981")));
    EXPECT_NEAR(LogLineStyle::colorOf(C::primary, dark).alphaF(), 0.88, 0.01);
}

TEST(LogFilter, ContainsIgnoringCaseUntrimmedUnderTheLocale)
{
    const QList<LogLine> lines =
        logOf({"GET /api 200", "an error here", "error at start", "POST /Api 500"});
    EXPECT_EQ(LogFilter().visible(lines), lines) << "an empty filter shows everything";
    EXPECT_EQ(LogFilter(QStringLiteral("api")).visible(lines),
              (QList<LogLine>{lines[0], lines[3]}));
    // The filter is taken as typed: a leading space is part of it.
    EXPECT_EQ(LogFilter(QStringLiteral(" error")).visible(lines), QList<LogLine>{lines[1]});
    EXPECT_TRUE(LogFilter(QStringLiteral("nothing")).visible(lines).isEmpty());
    // Case is folded under the user's language: in Turkish, "İ" is the capital of "i".
    const LogFilter turkish(QStringLiteral("istanbul"), false, QLocale(QLocale::Turkish));
    EXPECT_TRUE(turkish.matches(QStringLiteral("Deploy to İSTANBUL region")));
}

TEST(LogsContent, PrecedenceAndTexts)
{
    EXPECT_EQ(logsContent(true, 0, 0), LogsContent::unavailable);
    EXPECT_EQ(logsContent(true, 2, 2), LogsContent::lines) << "a line written to it shows it";
    EXPECT_EQ(logsContent(true, 2, 0), LogsContent::noMatches);
    EXPECT_EQ(logsContent(false, 2, 0), LogsContent::noMatches);
    EXPECT_EQ(logsContent(false, 0, 0), LogsContent::noOutput);

    const LogsEmptyState unavailable = logsEmptyState(LogsContent::unavailable, QString());
    EXPECT_EQ(unavailable.icon, "terminal");
    EXPECT_EQ(unavailable.title, "Logs unavailable");
    EXPECT_EQ(unavailable.text,
              "This project was started outside Tallowmere, so its output can't be captured. "
              "Stop it and start it from here to see logs.");
    const LogsEmptyState none = logsEmptyState(LogsContent::noMatches, QStringLiteral(" 500"));
    EXPECT_EQ(none.title, "No matches");
    EXPECT_EQ(none.text, "Nothing matches “ 500”.");
    EXPECT_EQ(logsEmptyState(LogsContent::noOutput, QString()).text,
              "Start the project to see its output here.");
}

TEST(LogsCopyAndSave, SelectionElseTheVisibleLines)
{
    const QList<LogLine> lines = logOf({"GET /a 200", "GET /b 500", "POST /c 500"});
    EXPECT_EQ(copyText(QStringLiteral("/b 5"), lines), "/b 5");
    const QList<LogLine> visible = LogFilter(QStringLiteral("500")).visible(lines);
    EXPECT_EQ(copyText(QString(), visible), "GET /b 500\nPOST /c 500");
    EXPECT_EQ(copyText(QString(), {}), "");

    const QDateTime at(QDate(2026, 12, 7), QTime(16, 5, 9));
    EXPECT_EQ(logFileName(QStringLiteral("api (aurora/api)"), at),
              "api (aurora-api) 2026-12-07 16.05.09.log");
}

TEST(PortEntry, TrimmedSignedIntegersInRangeElseRejected)
{
    using K = PortEntry::Kind;
    EXPECT_EQ(PortEntry::parse(QStringLiteral("  8800 ")), (PortEntry{K::port, 8800}));
    EXPECT_EQ(PortEntry::parse(QStringLiteral("+8800")), (PortEntry{K::port, 8800}));
    EXPECT_EQ(PortEntry::parse(QStringLiteral("0000008800")), (PortEntry{K::port, 8800}));
    EXPECT_EQ(PortEntry::parse(QStringLiteral("1024")), (PortEntry{K::port, 1024}));
    EXPECT_EQ(PortEntry::parse(QStringLiteral("65535")), (PortEntry{K::port, 65535}));
    EXPECT_EQ(PortEntry::parse(QString()).kind, K::clear);
    EXPECT_EQ(PortEntry::parse(QStringLiteral(" \t ")).kind, K::clear);
    for (const char* rejected : {"80", "1023", "65536", "70000", "-8800", "12a", "88 00", "+-8800",
                                 "+", "0x2260", "99999999999999999999", "８８００"})
        EXPECT_EQ(PortEntry::parse(QString::fromUtf8(rejected)).kind, K::rejected) << rejected;
}

TEST(RunModePicker, TheAutomaticChoiceNamesTheDetectedMode)
{
    EXPECT_EQ(autoDetectLabel(nullptr), "Auto-detect (…)");
    ProjectInfo info;
    info.detectedMode = RunModeKind::vite;
    EXPECT_EQ(autoDetectLabel(&info), "Auto-detect (Vite plugin)");
}
