#include "runs/output_handling.h"
#include "runs/output_parser.h"
#include "runs/project_runtime.h"
#include "supervision/line_splitter.h"
#include "support/qt_gtest_printers.h"
#include "support/run_state_access.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

// Splits and cleans a recorded stream the way the process manager does.
QStringList corpusLines(const QString& name)
{
    const QByteArray bytes =
        readWholeFile(QStringLiteral(TALLOWMERE_CORPUS_DIR "/dev-server-output/") + name);
    LineSplitter splitter;
    QStringList lines = splitter.feed(bytes);
    if (std::optional<QString> rest = splitter.flush())
        lines.append(*rest);
    return lines;
}

struct Host
{
    std::optional<PortOwner> owner;
    QList<int> ownerQueries;
    QList<int> adopted;

    OutputHooks hooks()
    {
        return OutputHooks{[this](int port) {
                               ownerQueries.append(port);
                               return owner;
                           },
                           [this](int port) { adopted.append(port); }};
    }
};

class OutputHandling : public ::testing::Test
{
protected:
    OutputHandling() { RunStateTestAccess::setStatus(runtime, ProjectStatus::starting()); }

    void feed(const QStringList& lines, bool isError, RunModeKind mode)
    {
        for (const QString& line : lines)
            handleOutputLine(runtime, line, isError, mode, host.hooks());
    }
    void feedRun(const QString& run, RunModeKind mode)
    {
        feed(corpusLines(run + ".stdout.raw"), false, mode);
        feed(corpusLines(run + ".stderr.raw"), true, mode);
    }

    ProjectRuntime runtime;
    Host host;
};

} // namespace

TEST_F(OutputHandling, WranglerReadyLineSetsTheAddressOnceAndAdoptsItsPort)
{
    feedRun("s2", RunModeKind::wrangler);
    EXPECT_EQ(runtime.status(), ProjectStatus::running());
    EXPECT_EQ(runtime.url(), QUrl("http://localhost:8787"));
    EXPECT_EQ(host.adopted, QList<int>{8787});
    EXPECT_FALSE(runtime.portConflict().has_value());
    // Blank lines of the recording are not logged; everything else is, in order.
    const QList<LogLine>& lines = runtime.log()->lines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.last().text, "[wrangler:info] GET / 200 OK (2ms)");
    for (const LogLine& line : lines)
        EXPECT_FALSE(line.text.trimmed().isEmpty());

    // Later ready lines change nothing.
    handleOutputLine(runtime, "Ready on http://localhost:9999", false, RunModeKind::wrangler,
                     host.hooks());
    EXPECT_EQ(runtime.url(), QUrl("http://localhost:8787"));
    EXPECT_EQ(host.adopted, QList<int>{8787});
}

TEST_F(OutputHandling, PagesAndViteRunsFindTheirAddresses)
{
    feedRun("s6c", RunModeKind::pages);
    EXPECT_EQ(runtime.url(), QUrl("http://localhost:8796"));
    EXPECT_EQ(host.adopted, QList<int>{8796});

    ProjectRuntime vite;
    RunStateTestAccess::setStatus(vite, ProjectStatus::starting());
    for (const QString& line : corpusLines("s7e.stdout.raw"))
        handleOutputLine(vite, line, false, RunModeKind::devScript, host.hooks());
    EXPECT_EQ(vite.url(), QUrl("http://127.0.0.1:5181/"));
    EXPECT_EQ(vite.status(), ProjectStatus::running());
    EXPECT_EQ(host.adopted, QList<int>{8796}) << "only the Wrangler modes save the port";

    // The same Vite output in wrangler mode is only logged.
    ProjectRuntime wrangler;
    RunStateTestAccess::setStatus(wrangler, ProjectStatus::starting());
    for (const QString& line : corpusLines("s7a.stdout.raw"))
        handleOutputLine(wrangler, line, false, RunModeKind::wrangler, host.hooks());
    EXPECT_FALSE(wrangler.url().has_value());
    EXPECT_EQ(wrangler.status(), ProjectStatus::starting());
}

TEST_F(OutputHandling, PortInUseOnColouredStderrNamesTheOwnerWhenThereIsOne)
{
    host.owner = PortOwner{"/work/other", "other"};
    feedRun("s3a", RunModeKind::wrangler);
    EXPECT_EQ(runtime.portConflict(),
              (PortConflict{9230, QString("/work/other"), QString("other")}));
    EXPECT_TRUE(host.ownerQueries.contains(9230));
    EXPECT_EQ(runtime.status(), ProjectStatus::starting()) << "a conflict alone changes no status";
    bool sawCleanError = false;
    for (const LogLine& line : runtime.log()->lines()) {
        EXPECT_FALSE(line.text.contains(QChar(0x1B)));
        if (line.isError && line.text.startsWith(QString::fromUtf8("✘ [ERROR] Address already")))
            sawCleanError = true;
    }
    EXPECT_TRUE(sawCleanError);

    ProjectRuntime unowned;
    host.owner.reset();
    for (const QString& line : corpusLines("s4a.stderr.raw"))
        handleOutputLine(unowned, line, true, RunModeKind::wrangler, host.hooks());
    EXPECT_EQ(unowned.portConflict(), (PortConflict{8795, std::nullopt, std::nullopt}));
}

TEST_F(OutputHandling, ViteRefusalAttachesToTheRunningServerWhenItStillLives)
{
    feedRun("s7c", RunModeKind::devScript);
    EXPECT_EQ(runtime.url(), QUrl("http://localhost:5173/"));
    EXPECT_EQ(runtime.attachedPID(), 27476);
    EXPECT_EQ(runtime.status(), ProjectStatus::running());

    RunStateTestAccess::setManaged(runtime, true);
    RunStateTestAccess::setPid(runtime, 27500);
    runtime.exited(1, false, [](qint32 pid) { return pid == 27476; });
    EXPECT_EQ(runtime.status(), ProjectStatus::running());
    EXPECT_TRUE(runtime.external());
    EXPECT_EQ(runtime.externalPIDs(), QList<qint32>{27476});
    EXPECT_FALSE(runtime.managed());
    EXPECT_EQ(runtime.url(), QUrl("http://localhost:5173/"));
    EXPECT_EQ(runtime.log()->lines().last().text,
              QString::fromUtf8("↪ A dev server is already running (pid 27476); attached to it."));
}

TEST_F(OutputHandling, SeveralLineAnnouncementNeedsItsFirstLine)
{
    feed({"URL: http://localhost:8787", "PID: 4242"}, false, RunModeKind::wrangler);
    EXPECT_FALSE(runtime.url().has_value());
    EXPECT_FALSE(runtime.attachedPID().has_value());

    feed({"A dev server is already running.", "  URL: http://0.0.0.0:8787", "  PID: 4242"}, false,
         RunModeKind::wrangler);
    EXPECT_TRUE(runtime.sawAlreadyRunning());
    EXPECT_EQ(runtime.url(), QUrl("http://localhost:8787"));
    EXPECT_EQ(runtime.attachedPID(), 4242);
    EXPECT_EQ(runtime.status(), ProjectStatus::running());
    EXPECT_TRUE(host.adopted.isEmpty()) << "an announced address is not a ready address";
}

TEST_F(OutputHandling, BlankLinesAreNotLoggedAndLinesKeepTheirBlanks)
{
    feed({"", "  \t ", "  indented  "}, true, RunModeKind::custom);
    ASSERT_EQ(runtime.log()->lines().size(), 1);
    EXPECT_EQ(runtime.log()->lines().first(), (LogLine{0, "  indented  ", true}));
}

TEST_F(OutputHandling, ReadyWhileNotStartingChangesNothing)
{
    RunStateTestAccess::setStatus(runtime, ProjectStatus::running());
    QSignalSpy urlSpy(&runtime, &ProjectRuntime::urlChanged);
    feed({"Ready on http://localhost:8787"}, false, RunModeKind::wrangler);
    EXPECT_FALSE(runtime.url().has_value());
    EXPECT_EQ(urlSpy.count(), 0);
}

TEST(PortOwnerLookup, FirstOtherActiveProjectOnThatPortInRegistryOrder)
{
    ProjectRuntime self, stopped, first, second;
    for (ProjectRuntime* r : {&self, &first, &second}) {
        RunStateTestAccess::setStatus(*r, ProjectStatus::running());
        RunStateTestAccess::setUrl(*r, QUrl("http://localhost:8787"));
    }
    RunStateTestAccess::setUrl(stopped, QUrl("http://localhost:8787"));
    RunStateTestAccess::setStatus(second, ProjectStatus::starting());
    const QList<PortOwnerCandidate> candidates{{"/self", "self", &self},
                                               {"/stopped", "stopped", &stopped},
                                               {"/first", "first", &first},
                                               {"/second", "second", &second}};
    EXPECT_EQ(findPortOwner(candidates, "/self", 8787), (PortOwner{"/first", "first"}));
    EXPECT_EQ(findPortOwner(candidates, "/self", 8788), std::nullopt);
}

// The one-pass clues decide which readers run: on every recorded line of real dev servers, and
// on the announcement forms the readers know, a finding must never come without its clue.
TEST(LineClues, NoReaderFindsAnythingOnALineWithoutItsClue)
{
    QStringList lines = {
        QStringLiteral("Error: listen EADDRINUSE: address already in use :::8787"),
        QStringLiteral("Port 5173 IS IN USE, trying another one..."),
        QStringLiteral("Error: PORT 3000 is already in use"),
        QStringLiteral("Server already running at http://localhost:8787 (pid 4242)"),
        QStringLiteral("Error: Found another Vite dev process for this project at "
                       "http://localhost:5173/ (PID 27476)."),
        QStringLiteral("A dev server is already running for this project."),
        QStringLiteral("   URL:  http://0.0.0.0:8787/"),
        QStringLiteral("  PID: 4242"),
    };
    const QStringList runs = QDir(QStringLiteral(TALLOWMERE_CORPUS_DIR "/dev-server-output"))
                                 .entryList({QStringLiteral("*.raw")}, QDir::Files);
    ASSERT_FALSE(runs.isEmpty());
    for (const QString& run : runs)
        lines += corpusLines(run);

    int findings = 0;
    for (const QString& line : lines) {
        const OutputParser::LineClues clues = OutputParser::cluesIn(line);
        const std::string shown = line.toStdString();
        if (OutputParser::portInUse(line)) {
            ++findings;
            EXPECT_TRUE(clues.portInUse) << shown;
        }
        if (OutputParser::alreadyRunningAt(line)) {
            ++findings;
            EXPECT_TRUE(clues.alreadyRunning) << shown;
        }
        if (OutputParser::attachField(line)) {
            ++findings;
            EXPECT_TRUE(clues.attachField) << shown;
        }
    }
    EXPECT_GE(findings, 8);

    // What a busy server prints all day gives no clue, so no reader runs on it.
    const OutputParser::LineClues request =
        OutputParser::cluesIn(u"[wrangler:info] GET /api/items/42 200 OK (3ms)");
    EXPECT_FALSE(request.portInUse || request.alreadyRunning || request.attachField);
}
