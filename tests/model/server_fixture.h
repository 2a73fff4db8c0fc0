#pragma once

#include "storage/running_record.h"
#include "model_fixture.h"
#include "supervision/process_groups.h"
#include "runs/project_runtime.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <csignal>

// Models that start real children: small shell scripts play the dev servers, in projects of
// the custom run mode or behind a stand-in `npx` for the Wrangler modes. Stops escalate fast
// and the ready fallback waits long unless a test shortens it.
class ServerTest : public ModelTest
{
protected:
    void TearDown() override
    {
        for (QProcess* sleeper : std::as_const(sleepers_)) {
            sleeper->kill();
            sleeper->waitForFinished(5000);
            delete sleeper;
        }
        ModelTest::TearDown();
    }

    AppModelContext serverContext()
    {
        AppModelContext fast = context();
        fast.readyFallbackDelay = std::chrono::minutes(10);
        fast.processTiming.pollIntervalMs = 50;
        fast.processTiming.termPolls = 20;
        fast.processTiming.killPolls = 20;
        fast.processTiming.leftoverKillDelayMs = 500;
        fast.processTiming.exitAfterStreamsGraceMs = 500;
        fast.restartCheckInterval = std::chrono::milliseconds(50);
        fast.externalRefreshDelay = std::chrono::milliseconds(50);
        return fast;
    }

    // Registers (for the next model) a project of the custom run mode whose command is a
    // script with `body`; returns the project's folder.
    QString serverProject(const QString& name, const QByteArray& body)
    {
        const QString folder = sites.makeDir(name);
        const QString script = sites.writeScript(name + QStringLiteral("/server.sh"), body);
        Project server = project(folder, name);
        server.runModeOverride = RunModeKind::custom;
        server.customCommand = script;
        registered.append(server);
        return folder;
    }

    // Registers a Wrangler project with Wrangler installed in its node_modules; the stand-in
    // `npx` of wranglerBin() runs instead of the real one.
    QString wranglerProject(const QString& name)
    {
        const QString folder = makeProject(name, name);
        sites.write(name + QStringLiteral("/package.json"), R"({"name": "x"})");
        sites.write(name + QStringLiteral("/node_modules/wrangler/package.json"),
                    R"({"version": "4.86.0"})");
        registered.append(project(folder, name));
        return folder;
    }

    // A folder with an `npx` that prints its arguments and `body`'s output. Set as the
    // nodePath setting it comes first on the children's PATH.
    QString wranglerBin(const QByteArray& body)
    {
        sites.writeScript(QStringLiteral("bin/npx"),
                          "port=; for a in \"$@\"; do [ \"$prev\" = --port ] && port=$a; "
                          "prev=$a; done\necho \"npx $*\"\n" +
                              body);
        return sites.filePath(QStringLiteral("bin"));
    }

    void useNodePath(const QString& folder)
    {
        support.write(QStringLiteral("settings.json"),
                      "{\"nodePath\": \"" + folder.toUtf8() + "\"}");
    }

    std::unique_ptr<AppModel> serverModel(AppModelContext context)
    {
        saveRegistry({{}, registered});
        return std::make_unique<AppModel>(std::move(context));
    }
    std::unique_ptr<AppModel> serverModel() { return serverModel(serverContext()); }

    // A process that stands for a server started elsewhere; killed at the end of the test.
    QProcess* sleeper()
    {
        auto* process = new QProcess;
        process->start(QStringLiteral("sleep"), {QStringLiteral("120")});
        process->waitForStarted(5000);
        sleepers_.append(process);
        return process;
    }

    static ProjectStatus::Kind kind(const ProjectRuntime* runtime)
    {
        return runtime->status().kind();
    }
    static QStringList logTexts(const ProjectRuntime* runtime)
    {
        QStringList texts;
        for (const LogLine& line : runtime->log()->lines())
            texts.append(line.text);
        return texts;
    }
    bool runningFileExists() const
    {
        return QFile::exists(support.filePath(QStringLiteral("running.json")));
    }
    static bool alive(qint32 pid) { return ::kill(pid, 0) == 0; }

    QList<Project> registered;

private:
    QList<QProcess*> sleepers_;
};
