#include "runs/output_parser.h"
#include "support/qt_gtest_printers.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace OutputParser;

namespace {

QUrl url(const char* text)
{
    return QUrl(QString::fromLatin1(text));
}

} // namespace

TEST(NormalizeAddress, TrimsPunctuationRewritesWildcardAndRequiresAPort)
{
    EXPECT_EQ(normalizeAddress("http://0.0.0.0:8787"), url("http://localhost:8787"));
    EXPECT_EQ(normalizeAddress("http://localhost:8787)."), url("http://localhost:8787"));
    EXPECT_EQ(normalizeAddress(".,;http://127.0.0.1:5173/;"), url("http://127.0.0.1:5173/"));
    EXPECT_EQ(normalizeAddress("http://[::1]:3000/x"), url("http://[::1]:3000/x"));
    EXPECT_EQ(normalizeAddress("http://localhost"), std::nullopt);
    EXPECT_EQ(normalizeAddress("http://localhost:notaport"), std::nullopt);
    EXPECT_EQ(normalizeAddress(""), std::nullopt);
}

TEST(ReadyURL, ReadyLineDecidesAloneAndLocalAddressesCountOutsideWranglerModes)
{
    EXPECT_EQ(readyURL("[wrangler:info] Ready on http://0.0.0.0:8787", RunModeKind::wrangler),
              url("http://localhost:8787"));
    EXPECT_EQ(readyURL("Ready on http://localhost:8787).", RunModeKind::pages),
              url("http://localhost:8787"));
    // A ready address without a port is no finding, and the local pattern is not tried.
    EXPECT_EQ(readyURL("Ready on http://localhost/ see http://localhost:5173", RunModeKind::vite),
              std::nullopt);
    const QString viteLine = QString::fromUtf8("  ➜  Local:   http://localhost:5173/");
    for (RunModeKind mode : {RunModeKind::vite, RunModeKind::custom, RunModeKind::devScript})
        EXPECT_EQ(readyURL(viteLine, mode), url("http://localhost:5173/"));
    EXPECT_EQ(readyURL(viteLine, RunModeKind::wrangler), std::nullopt);
    EXPECT_EQ(readyURL("  ➜  Network: use --host to expose", RunModeKind::vite), std::nullopt);
    EXPECT_EQ(readyURL("see http://example.com:8080/", RunModeKind::vite), std::nullopt);
}

TEST(PortInUse, KeywordChoosesBetweenTheColonAndTheWordPattern)
{
    EXPECT_EQ(portInUse("Error: listen EADDRINUSE: address already in use :::8787"), 8787);
    EXPECT_EQ(portInUse("listen eaddrinuse 0.0.0.0:3000"), 3000);
    EXPECT_EQ(portInUse("Address already in use (127.0.0.1:9230). Please check that you are not "
                        "already running a server on this address or specify a different port "
                        "with --port."),
              9230);
    EXPECT_EQ(portInUse("Port 5173 is in use, trying another one..."), 5173);
    EXPECT_EQ(portInUse("Error: PORT 3000 is already in use"), 3000);
    EXPECT_EQ(portInUse("address already in use, no port given"), std::nullopt);
    EXPECT_EQ(portInUse("Listening on port 8787"), std::nullopt);
    EXPECT_EQ(portInUse("the port 1 is in use"), std::nullopt) << "one digit is not a port";
}

TEST(PortInUse, ColonRuleAgreesWithItsPatternAndStaysLinearOnLongLines)
{
    // The colon rule is a one-pass scan; it must find exactly what the documented pattern
    // finds, on lines full of colons and digit runs of every length.
    const QRegularExpression pattern(R"(:(\d{2,5})(?!.*:\d{2,5}))",
                                     QRegularExpression::CaseInsensitiveOption);
    const QString alphabet = QStringLiteral(":1234567890a :");
    quint32 seed = 12345;
    for (int round = 0; round < 20000; ++round) {
        QString line = QStringLiteral("EADDRINUSE ");
        const int length = int(seed % 24);
        for (int i = 0; i < length; ++i) {
            seed = seed * 1103515245u + 12345u;
            line += alphabet.at(int((seed >> 16) % quint32(alphabet.size())));
        }
        seed = seed * 1103515245u + 12345u;
        const QRegularExpressionMatch match = pattern.match(line);
        const std::optional<int> expected =
            match.hasMatch() ? std::optional<int>(match.captured(1).toInt()) : std::nullopt;
        ASSERT_EQ(portInUse(line), expected) << line.toStdString();
    }

    QString longLine = QStringLiteral("Error: listen EADDRINUSE");
    while (longLine.size() < qsizetype(64) * 1024)
        longLine += QStringLiteral(" a:12");
    longLine += QStringLiteral(" :::8787");
    EXPECT_EQ(portInUse(longLine), 8787);
}

TEST(AlreadyRunningAt, OneLineFormsNeedAnAddressWithPortAndAPid)
{
    EXPECT_EQ(alreadyRunningAt("Server already running at http://localhost:8787 (pid 4242)"),
              (RunningAt{url("http://localhost:8787"), 4242}));
    EXPECT_EQ(alreadyRunningAt("Error: Found another Vite dev process for this project at "
                               "http://localhost:5173/ (PID 27476)."),
              (RunningAt{url("http://localhost:5173/"), 27476}));
    EXPECT_EQ(alreadyRunningAt("already running at http://localhost (pid 4242)"), std::nullopt);
    EXPECT_EQ(alreadyRunningAt("already running at http://localhost:1 (pid 99999999999)"),
              std::nullopt);
    EXPECT_EQ(alreadyRunningAt("already running at http://localhost:8787 (PID 4242)"), std::nullopt)
        << "the generic form is case-sensitive";
}

TEST(AttachField, MarkerThenUrlThenPid)
{
    EXPECT_EQ(attachField("A dev server is already running for this project."),
              AttachField::marker());
    // A line with "(pid" is not a marker; it goes on to the field patterns.
    EXPECT_EQ(attachField("is already running (pid 5)"), std::nullopt);
    EXPECT_EQ(attachField("   URL:  http://0.0.0.0:8787/"),
              AttachField{url("http://localhost:8787/")});
    EXPECT_EQ(attachField("  PID: 4242"), AttachField{qint32(4242)});
    EXPECT_EQ(attachField("URL: http://localhost/"), std::nullopt) << "no port";
    EXPECT_EQ(attachField("PID: 99999999999"), std::nullopt);
    EXPECT_EQ(attachField("The PID: 12"), std::nullopt) << "fields start their line";
}
