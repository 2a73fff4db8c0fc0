#pragma once

#include "storage/json_writer.h"
#include "storage/registry_file.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <gtest/gtest.h>

// A real instance of the application on a temporary support folder, with small shell scripts
// as dev servers, and the built executable run as its client.

namespace {

struct ProgramRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

} // namespace

class InstanceFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // A runtime folder as the session provides it: the user's alone.
        QDir().mkpath(runtimeFolder());
        QFile::setPermissions(runtimeFolder(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void TearDown() override
    {
        // Whatever the test left running: the servers' groups, then the instances.
        const ProgramRun status = run({QStringLiteral("status"), QStringLiteral("--json")});
        const QJsonObject document = QJsonDocument::fromJson(status.out.toUtf8()).object();
        for (const QJsonValue& project : document.value(QStringLiteral("projects")).toArray())
            if (const int pid = project.toObject().value(QStringLiteral("pid")).toInt();
                pid > 0 && !project.toObject().value(QStringLiteral("external")).toBool())
                ::kill(-pid, SIGKILL);
        for (QProcess* process : std::as_const(processes_)) {
            process->kill();
            process->waitForFinished(10000);
            delete process;
        }
    }

    QString supportFolder() const { return home.filePath(QStringLiteral("support")); }
    QString runtimeFolder() const { return home.filePath(QStringLiteral("run")); }

    // The environment of every process: no display, private folders, a quick login shell.
    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString& key : environment.keys())
            if (key.startsWith(QStringLiteral("TALLOWMERE_")) || key == u"DISPLAY" ||
                key == u"WAYLAND_DISPLAY")
                environment.remove(key);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("TALLOWMERE_SUPPORT_DIR"), supportFolder());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           home.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("SHELL"), QStringLiteral("/bin/sh"));
        return environment;
    }

    ProgramRun run(const QStringList& arguments, const QMap<QString, QString>& extra = {})
    {
        QProcess process;
        QProcessEnvironment environment = this->environment();
        for (auto it = extra.begin(); it != extra.end(); ++it)
            environment.insert(it.key(), it.value());
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(sites.path());
        process.start(QStringLiteral(TALLOWMERE_EXECUTABLE), arguments);
        ProgramRun result;
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
            process.kill();
            process.waitForFinished();
            return result;
        }
        result.exitCode = process.exitCode();
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

    // A process that outlives the call; killed at the end of the test.
    QProcess* launch(const QString& program, const QStringList& arguments)
    {
        auto* process = new QProcess;
        processes_.append(process);
        process->setProcessEnvironment(environment());
        process->setWorkingDirectory(sites.path());
        process->start(program, arguments);
        process->waitForStarted(10000);
        return process;
    }

    // Registers a project of the custom run mode whose server is a script with `body`.
    QString addProject(const QString& folder, const QString& workerName, const QByteArray& body)
    {
        sites.write(folder + QStringLiteral("/wrangler.toml"),
                    "name = \"" + workerName.toUtf8() + "\"\n");
        Project project;
        project.path = sites.filePath(folder);
        project.configFile = QStringLiteral("wrangler.toml");
        project.name = workerName;
        project.runModeOverride = RunModeKind::custom;
        project.customCommand = sites.writeScript(folder + QStringLiteral("/server.sh"), body);
        registry_.projects.append(project);
        return project.path;
    }

    // Writes the registry and starts the instance; returns once it answers.
    QProcess* startInstance()
    {
        QDir().mkpath(supportFolder());
        QFile file(QDir(supportFolder()).filePath(QStringLiteral("registry.json")));
        if (file.open(QIODevice::WriteOnly))
            file.write(encodeDataFileJson(encodeRegistry(registry_)));
        file.close();
        QProcess* instance = launch(QStringLiteral(TALLOWMERE_EXECUTABLE), {});
        instance->setStandardOutputFile(QProcess::nullDevice());
        const bool answering = QTest::qWaitFor(
            [this] { return run({QStringLiteral("status")}).exitCode == 0; }, 60000);
        EXPECT_TRUE(answering) << "the instance never answered";
        return instance;
    }

    QJsonArray statusProjects()
    {
        const ProgramRun status = run({QStringLiteral("status"), QStringLiteral("--json")});
        EXPECT_EQ(status.exitCode, 0) << status.err.toStdString();
        const QJsonObject document = QJsonDocument::fromJson(status.out.toUtf8()).object();
        EXPECT_EQ(document.value(QStringLiteral("version")), QJsonValue(1));
        return document.value(QStringLiteral("projects")).toArray();
    }

    // `requests` request lines as Wrangler prints them come first, the last of them a 500.
    static QByteArray readyServer(int port, int extraLines = 0, int requests = 0)
    {
        QByteArray body;
        for (int request = 1; request <= requests; ++request)
            body += request == requests
                        ? "echo '[wrangler:info] GET /broken 500 Internal Server Error (40ms)'\n"
                        : "echo '[wrangler:info] GET /r" + QByteArray::number(request) +
                              " 200 OK (2ms)'\n";
        for (int line = 1; line <= extraLines; ++line)
            body += "echo 'line " + QByteArray::number(line) + "'\n";
        return body + "echo 'Ready on http://localhost:" + QByteArray::number(port) +
               "'\nexec sleep 120\n";
    }

    TempFolder home;
    TempFolder sites;

private:
    Registry registry_;
    QList<QProcess*> processes_;
};
