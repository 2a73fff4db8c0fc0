#include "base/deliver.h"
#include "server_fixture.h"

// Starting, stopping and restarting through the model, with shell scripts as dev servers.

using Kind = ProjectStatus::Kind;

TEST_F(ServerTest, AReadyLineShowsTheServerRunningAndAStopCleansUp)
{
    const QString path = serverProject(QStringLiteral("api"),
                                       "echo 'Starting local server...'\n"
                                       "echo '[wrangler:info] Ready on http://localhost:18787'\n"
                                       "echo '[wrangler:info] Ready on http://localhost:18999'\n"
                                       "exec sleep 60\n");
    const auto model = serverModel();
    ProjectRuntime* runtime = model->runtimeFor(path);
    model->startProject(path);
    WAIT_UNTIL(kind(runtime) == Kind::running, 15000);
    WAIT_UNTIL(runtime->log()->lines().size() >= 4, 5000);
    // The first address counts; a later ready line changes nothing.
    EXPECT_EQ(runtime->url(), QUrl(QStringLiteral("http://localhost:18787")));
    EXPECT_EQ(logTexts(runtime).first(),
              QStringLiteral("▶ ") + *model->findProject(path)->customCommand);
    ASSERT_TRUE(runtime->pid().has_value());
    EXPECT_TRUE(runtime->managed());
    WAIT_UNTIL(!loadRunningRecords().isEmpty(), 5000);
    const QList<RunningRecord> records = loadRunningRecords();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].projectID, path);
    EXPECT_EQ(records[0].pid, *runtime->pid());
    EXPECT_GT(records[0].startSec, 0u);

    // A second start of an active project does nothing.
    model->startProject(path);
    const qint32 leader = *runtime->pid();

    model->stopProject(path);
    WAIT_UNTIL(kind(runtime) == Kind::stopped, 15000);
    EXPECT_FALSE(runtime->managed());
    EXPECT_FALSE(runtime->pid().has_value());
    EXPECT_FALSE(runtime->url().has_value());
    EXPECT_EQ(logTexts(runtime).filter(QStringLiteral("▶ ")).size(), 1);
    EXPECT_TRUE(logTexts(runtime).contains(QStringLiteral("■ process exited (code 143)")));
    EXPECT_FALSE(runningFileExists()) << "the last record gone, the file is deleted";
    EXPECT_FALSE(ProcessGroups::groupAlive(leader));
}

// A busy server's output reaches the log in batches (one per delivery of the output channel),
// in the order it was written, with its stream, and examined line by line.
TEST_F(ServerTest, ABusyServersOutputReachesTheLogInBatchesInOrder)
{
    const QString path = serverProject(QStringLiteral("busy"),
                                       "seq -f 'line %g' 0 2999\n"
                                       "echo 'warning on stderr' >&2\n"
                                       "echo '[wrangler:info] Ready on http://localhost:18788'\n"
                                       "exec sleep 60\n");
    const auto model = serverModel();
    ProjectRuntime* runtime = model->runtimeFor(path);
    QSignalSpy batches(runtime->log(), &LogBuffer::linesAppended);
    model->startProject(path);
    WAIT_UNTIL(kind(runtime) == Kind::running, 15000);
    EXPECT_EQ(runtime->url(), QUrl(QStringLiteral("http://localhost:18788")));
    QList<LogLine> out;
    QStringList err;
    for (const LogLine& line : runtime->log()->lines())
        line.isError ? err.append(line.text) : out.append(line);
    // Streams are read apart, so only the order within a stream is given.
    EXPECT_EQ(err, QStringList{QStringLiteral("warning on stderr")});
    ASSERT_EQ(out.size(), 3002);
    for (int i = 0; i < 3000; ++i)
        ASSERT_EQ(out[i + 1].text, QStringLiteral("line %1").arg(i));
    EXPECT_LT(batches.count(), 100) << "lines must not reach the log one call each";
    model->stopProject(path);
    WAIT_UNTIL(kind(runtime) == Kind::stopped, 15000);
}

TEST_F(ServerTest, AnExitWithACodeIsAnErrorAndRemovesTheRecord)
{
    const QString path =
        serverProject(QStringLiteral("crash"), "echo booting\nsleep 0.3\nexit 3\n");
    const auto model = serverModel();
    ProjectRuntime* runtime = model->runtimeFor(path);
    model->startProject(path);
    WAIT_UNTIL(kind(runtime) == Kind::error, 15000);
    EXPECT_EQ(runtime->status().message(), QStringLiteral("Exited with code 3"));
    EXPECT_FALSE(runtime->managed());
    EXPECT_FALSE(runningFileExists());
}

TEST_F(ServerTest, OutputAfterTheExitIsLoggedButNotReadForTheRunState)
{
    // A process of a session of its own keeps the pipes open and prints once the server's
    // exit has been reported (the report waits 0.5 s for the pipes here).
    // It leaves the group before the server exits, or the exit's SIGTERM to the group ends it.
    const QByteArray go = QFile::encodeName(sites.filePath(QStringLiteral("go")));
    const QByteArray left = QFile::encodeName(sites.filePath(QStringLiteral("left")));
    const QString path = serverProject(
        QStringLiteral("api"),
        "setsid sh -c 'touch " + left + "; while [ ! -e " + go + " ]; do sleep 0.05; done; " +
            "echo \"[wrangler:info] Ready on http://localhost:18123\"; echo last words' &\n" +
            "while [ ! -e " + left + " ]; do sleep 0.05; done\necho leaving\nexit 0\n");
    const auto model = serverModel();
    ProjectRuntime* runtime = model->runtimeFor(path);
    model->startProject(path);
    WAIT_UNTIL(logTexts(runtime).contains(QStringLiteral("■ process exited (code 0)")), 15000);
    sites.write(QStringLiteral("go"), "");

    WAIT_UNTIL(logTexts(runtime).contains(QStringLiteral("last words")), 15000);
    const QStringList texts = logTexts(runtime);
    EXPECT_EQ(texts.mid(texts.size() - 2),
              (QStringList{"[wrangler:info] Ready on http://localhost:18123", "last words"}));
    EXPECT_EQ(kind(runtime), Kind::stopped);
    EXPECT_FALSE(runtime->url().has_value());
}

TEST_F(ServerTest, RefusedStartsSetTheErrorAndSpawnNothing)
{
    const QString blank = serverProject(QStringLiteral("blank"), "");
    const QString bare = makeProject(QStringLiteral("bare"), QStringLiteral("bare"));
    registered.last().customCommand = QStringLiteral(" \n ");
    registered.append(project(bare, QStringLiteral("bare")));
    const auto model = serverModel();

    model->startProject(blank);
    model->startProject(bare); // Wrangler mode, Wrangler not installed
    // Both are inspected first, in the background.
    WAIT_UNTIL(kind(model->runtimeFor(bare)) == Kind::error, 10000);
    WAIT_UNTIL(kind(model->runtimeFor(blank)) == Kind::error, 10000);
    EXPECT_EQ(model->runtimeFor(bare)->status().message(),
              QStringLiteral("Dependencies not installed"));
    EXPECT_EQ(model->runtimeFor(blank)->status(),
              ProjectStatus::error(QStringLiteral("No custom command set (see the Settings tab)")));
    EXPECT_TRUE(model->runtimeFor(blank)->log()->lines().isEmpty());
    EXPECT_TRUE(model->runtimeFor(bare)->log()->lines().isEmpty());
    EXPECT_FALSE(model->findProject(bare)->port.has_value()) << "no ports chosen when refused";
    EXPECT_FALSE(runningFileExists());
}

TEST_F(ServerTest, ASpawnFailureIsShownAndNotRecorded)
{
    const QString path = serverProject(QStringLiteral("vanished"), "exec sleep 60\n");
    const auto model = serverModel();
    QDir(path).removeRecursively();
    ProjectRuntime* runtime = model->runtimeFor(path);
    model->startProject(path);
    WAIT_UNTIL(kind(runtime) == Kind::error, 10000);
    EXPECT_TRUE(runtime->status().message().startsWith(QStringLiteral("posix_spawn failed: ")))
        << qPrintable(runtime->status().message());
    const QList<LogLine> lines = runtime->log()->lines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[1].text, QStringLiteral("✖ ") + runtime->status().message());
    EXPECT_TRUE(lines[1].isError);
    EXPECT_FALSE(runningFileExists());
}

TEST_F(ServerTest, AWranglerProjectIsInspectedFirstThenKeepsItsPortsAcrossARestart)
{
    const QString path = wranglerProject(QStringLiteral("api"));
    useNodePath(wranglerBin("echo \"Ready on http://0.0.0.0:$port\"\nexec sleep 60\n"));
    const auto model = serverModel();
    ASSERT_EQ(model->infoFor(path), nullptr);
    ProjectRuntime* runtime = model->runtimeFor(path);

    model->startProject(path);
    WAIT_UNTIL(kind(runtime) == Kind::running, 15000);
    EXPECT_NE(model->infoFor(path), nullptr);
    const Project stored = *model->findProject(path);
    ASSERT_TRUE(stored.port && stored.inspectorPort);
    const QString command = QStringLiteral("npx wrangler dev --port %1 --inspector-port %2")
                                .arg(*stored.port)
                                .arg(*stored.inspectorPort);
    EXPECT_EQ(logTexts(runtime).first(), QStringLiteral("▶ ") + command);
    EXPECT_EQ(runtime->url(), QUrl(QStringLiteral("http://localhost:%1").arg(*stored.port)));
    EXPECT_EQ(savedProject(path).value(QStringLiteral("port")).toInt(), *stored.port);
    EXPECT_EQ(savedProject(path).value(QStringLiteral("inspectorPort")).toInt(),
              *stored.inspectorPort);
    WAIT_UNTIL(loadRunningRecords().size() == 1, 5000);
    const qint32 first = *runtime->pid();

    model->restartProject(path);
    WAIT_UNTIL(runtime->pid() && *runtime->pid() != first && kind(runtime) == Kind::running, 15000);
    EXPECT_EQ(logTexts(runtime).filter(QStringLiteral("▶ ")),
              (QStringList{QStringLiteral("▶ ") + command, QStringLiteral("▶ ") + command}));
    WAIT_UNTIL(loadRunningRecords().value(0).pid == *runtime->pid(), 5000);
    EXPECT_EQ(loadRunningRecords().size(), 1) << "one record per project, the newer pid";
    // The old leader's exit is reported at once, but it stays a zombie until the rest of its
    // group is gone, so that its pid cannot name another group meanwhile.
    WAIT_UNTIL(!alive(first), 5000);
}

TEST_F(ServerTest, AServerThatPrintsNothingIsShownRunningAfterTheFallbackDelay)
{
    const QString quiet = serverProject(QStringLiteral("quiet"), "exec sleep 60\n");
    const QString worker = wranglerProject(QStringLiteral("worker"));
    useNodePath(wranglerBin("exec sleep 60\n"));
    AppModelContext context = serverContext();
    context.readyFallbackDelay = std::chrono::milliseconds(300);
    const auto model = serverModel(context);

    model->startProject(quiet);
    model->startProject(worker);
    WAIT_UNTIL(kind(model->runtimeFor(quiet)) == Kind::running, 15000);
    WAIT_UNTIL(kind(model->runtimeFor(worker)) == Kind::running, 15000);
    // Only the Wrangler modes know their address without being told.
    EXPECT_FALSE(model->runtimeFor(quiet)->url().has_value());
    EXPECT_EQ(model->runtimeFor(worker)->url(),
              QUrl(QStringLiteral("http://localhost:%1").arg(*model->findProject(worker)->port)));
}

TEST_F(ServerTest, APortInUseNamesTheRegisteredProjectThatHoldsIt)
{
    const QString owner = serverProject(QStringLiteral("owner"),
                                        "echo 'Ready on http://localhost:18795'\nexec sleep 60\n");
    const QString clash =
        serverProject(QStringLiteral("clash"),
                      "sleep 0.5\n"
                      "echo 'Error: listen EADDRINUSE: address already in use :::18795'\n"
                      "echo 'Port 18796 is in use, trying another one...'\n"
                      "exec sleep 60\n");
    const QString other =
        serverProject(QStringLiteral("other"),
                      "echo 'Error: listen EADDRINUSE: address already in use :::18795'\n"
                      "exec sleep 60\n");
    const auto model = serverModel();
    model->startProject(owner);
    WAIT_UNTIL(kind(model->runtimeFor(owner)) == Kind::running, 15000);

    ProjectRuntime* runtime = model->runtimeFor(clash);
    QList<PortConflict> conflicts;
    QObject::connect(runtime, &ProjectRuntime::portConflictChanged, runtime,
                     [&] { conflicts.append(runtime->portConflict().value_or(PortConflict{})); });
    model->startProject(clash);
    WAIT_UNTIL(conflicts.size() == 2, 15000);
    EXPECT_EQ(conflicts[0],
              (PortConflict{18795, owner, model->displayName(*model->findProject(owner))}));
    EXPECT_EQ(conflicts[1], (PortConflict{18796, std::nullopt, std::nullopt}));

    // Once the owner has stopped, the same port belongs to nobody registered.
    model->stopProject(owner);
    WAIT_UNTIL(kind(model->runtimeFor(owner)) == Kind::stopped, 15000);
    model->startProject(other);
    WAIT_UNTIL(model->runtimeFor(other)->portConflict().has_value(), 15000);
    EXPECT_EQ(model->runtimeFor(other)->portConflict(),
              (PortConflict{18795, std::nullopt, std::nullopt}));
}

TEST_F(ServerTest, StartingOnAFreePortMovesOffTheTakenOne)
{
    const QString path = wranglerProject(QStringLiteral("api"));
    // The first start finds its port taken and gives up; a start on another port succeeds.
    useNodePath(
        wranglerBin("if [ ! -e \"$0.once\" ]; then touch \"$0.once\"; "
                    "echo \"Error: listen EADDRINUSE: address already in use :::$port\"; "
                    "exit 1; fi\necho \"Ready on http://localhost:$port\"\nexec sleep 60\n"));
    const auto model = serverModel();
    ProjectRuntime* runtime = model->runtimeFor(path);
    model->startProject(path);
    WAIT_UNTIL(kind(runtime) == Kind::error, 15000);
    ASSERT_TRUE(runtime->portConflict().has_value());
    const int taken = runtime->portConflict()->port;
    EXPECT_EQ(taken, *model->findProject(path)->port);

    model->startOnFreePort(path);
    WAIT_UNTIL(kind(runtime) == Kind::running, 15000);
    const int moved = *model->findProject(path)->port;
    EXPECT_NE(moved, taken);
    EXPECT_EQ(runtime->url(), QUrl(QStringLiteral("http://localhost:%1").arg(moved)));
    EXPECT_FALSE(runtime->portConflict().has_value()) << "a new start clears the old finding";
}

TEST_F(ServerTest, AStopReachesAServerThatIgnoresSigtermAndItsGrandchildren)
{
    // The shell that leads the group ignores SIGTERM itself.
    const QString stubborn = serverProject(QStringLiteral("stubborn"), "");
    registered.last().customCommand =
        QStringLiteral("trap '' TERM; echo started; while :; do sleep 0.1; done");
    const QString parent =
        serverProject(QStringLiteral("parent"), "sleep 60 &\necho \"child $!\"\nexec sleep 60\n");
    const auto model = serverModel();
    model->startProject(stubborn);
    model->startProject(parent);
    ProjectRuntime* first = model->runtimeFor(stubborn);
    ProjectRuntime* second = model->runtimeFor(parent);
    WAIT_UNTIL(first->managed() && logTexts(first).contains("started"), 15000);
    WAIT_UNTIL(second->managed() && logTexts(second).size() >= 2, 15000);
    const qint32 grandchild = logTexts(second)[1].mid(6).toInt();
    ASSERT_GT(grandchild, 0);
    const qint32 stubbornGroup = *first->pid();
    const qint32 parentGroup = *second->pid();

    model->stopProject(stubborn);
    model->stopProject(parent);
    WAIT_UNTIL(kind(first) == Kind::stopped, 20000);
    WAIT_UNTIL(kind(second) == Kind::stopped, 20000);
    EXPECT_TRUE(logTexts(first).contains(QStringLiteral("■ process exited (code 137)")));
    EXPECT_FALSE(ProcessGroups::groupAlive(stubbornGroup));
    EXPECT_FALSE(ProcessGroups::groupAlive(parentGroup)) << "grandchild " << grandchild;
    EXPECT_FALSE(runningFileExists());
}

TEST_F(ServerTest, QuittingAsksOnlyForServersStartedHere)
{
    const QString a = serverProject(QStringLiteral("alpha"), "exec sleep 60\n");
    const QString b = serverProject(QStringLiteral("beta"), "exec sleep 60\n");
    const auto model = serverModel();
    std::optional<bool> answer;
    answer.reset();
    deliverTo(model.get(), model->confirmQuit(), [&](bool quit) { answer = quit; });
    WAIT_UNTIL(answer.has_value(), 5000);
    EXPECT_EQ(answer, true);
    EXPECT_TRUE(desktop.alerts.shown().isEmpty());

    model->startProject(a);
    WAIT_UNTIL(model->runtimeFor(a)->managed(), 15000);
    desktop.alerts.queueAnswer(1);
    answer.reset();
    deliverTo(model.get(), model->confirmQuit(), [&](bool quit) { answer = quit; });
    WAIT_UNTIL(answer.has_value(), 5000);
    EXPECT_EQ(answer, false);
    ASSERT_EQ(desktop.alerts.shown().size(), 1);
    EXPECT_EQ(desktop.alerts.shown()[0], (Alert{"Stop 1 running project and quit?",
                                                "alpha",
                                                {"Stop and Quit", "Cancel"},
                                                AlertStyle::warning}));

    model->startProject(b);
    WAIT_UNTIL(model->runtimeFor(b)->managed(), 15000);
    desktop.alerts.queueAnswer(0);
    answer.reset();
    deliverTo(model.get(), model->confirmQuit(), [&](bool quit) { answer = quit; });
    WAIT_UNTIL(answer.has_value(), 5000);
    EXPECT_EQ(answer, true);
    EXPECT_EQ(desktop.alerts.shown()[1].message,
              QStringLiteral("Stop 2 running projects and quit?"));
    EXPECT_EQ(desktop.alerts.shown()[1].informativeText, QStringLiteral("alpha, beta"));

    bool stopped = false;
    deliverTo(model.get(), model->stopAll(), [&] { stopped = true; });
    WAIT_UNTIL(stopped, 20000);
    WAIT_UNTIL(!model->runtimeFor(a)->managed() && !model->runtimeFor(b)->managed(), 10000);
}

TEST_F(ServerTest, CallbacksAfterTheModelIsGoneAreDropped)
{
    const QString path =
        serverProject(QStringLiteral("talker"), "while :; do echo tick; sleep 0.05; done\n");
    auto model = serverModel();
    model->startProject(path);
    WAIT_UNTIL(model->runtimeFor(path)->managed(), 15000);
    const qint32 group = *model->runtimeFor(path)->pid();
    model.reset();
    // Lines and the exit of a server still running arrive with no model to take them.
    QTest::qWait(200);
    ProcessGroups::signalGroup(group, SIGKILL);
    QTest::qWait(200);
    // Nobody handled the exit, so the record stays for the next launch to find.
    ASSERT_EQ(loadRunningRecords().size(), 1);
    EXPECT_EQ(loadRunningRecords()[0].pid, group);
}

// "Stop All" of the tray: one server after the other in registry order, each stop over before
// the next begins, and the future resolves after the last.
TEST_F(ServerTest, StopEachActiveStopsInTurnAndResolvesAfterTheLast)
{
    const QString first = serverProject(QStringLiteral("first"), "exec sleep 60\n");
    const QString second = serverProject(QStringLiteral("second"), "exec sleep 60\n");
    const auto model = serverModel();
    const QFuture<StartOutcome> a = model->startProject(first);
    const QFuture<StartOutcome> b = model->startProject(second);
    WAIT_UNTIL(model->runtimeFor(first)->managed() && model->runtimeFor(second)->managed(), 15000);
    QStringList ended;
    for (const QString& path : {first, second})
        QObject::connect(model->runtimeFor(path), &ProjectRuntime::managedChanged, model.get(),
                         [&, path] {
                             if (!model->runtimeFor(path)->managed())
                                 ended.append(path);
                         });
    bool done = false;
    deliverTo(model.get(), model->stopEachActive(), [&] { done = true; });
    WAIT_UNTIL(done, 20000);
    WAIT_UNTIL(ended.size() == 2, 10000);
    EXPECT_EQ(ended, (QStringList{first, second}));
    // Both starts were still starting (no ready line): stopped first, they failed.
    EXPECT_EQ(a.result(), StartOutcome::failed(QStringLiteral("the server exited")));
    EXPECT_EQ(b.result(), StartOutcome::failed(QStringLiteral("the server exited")));
}
