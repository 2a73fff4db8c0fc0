#pragma once

#include "storage/registry_file.h"
#include "model_fixture.h"
#include "supervision/external_fixture_tree.h"
#include "runs/project_runtime.h"
#include "support/wait_until.h"

#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>

// Models that are launched for real: a fake login shell (a script that prints what a real one
// prints for the capture command), a registered project with a Wrangler configuration, and
// stand-ins for a `workerd` started from a terminal in its folder.
class StartupTest : public ModelTest
{
protected:
    // A login shell that prints the capture marker and the given variables, then exits.
    QString fakeShell(const QByteArray& variables, const QString& name = QStringLiteral("shell"))
    {
        return shells.writeScript(name, "echo __TALLOWMERE_ENV_BEGIN__\n"
                                        "printf '%s\\n' 'PATH=/usr/bin:/bin' " +
                                            variables + "\n");
    }

    // Registers one project under a root "sites"; returns its folder.
    QString registerProject(const QString& name = QStringLiteral("api"))
    {
        const QString folder = makeProject(name, name);
        saveRegistry({{sites.path()}, {project(folder, name, sites.path())}});
        return folder;
    }

    // A context whose login shell is `shell` and whose poll waits `poll` between refreshes.
    AppModelContext startupContext(const QString& shell,
                                   std::chrono::milliseconds poll = std::chrono::hours(1),
                                   const QMap<QString, QString>& extra = {})
    {
        QMap<QString, QString> environment = extra;
        environment.insert(QStringLiteral("SHELL"), shell);
        AppModelContext result = context(environment);
        result.pollInterval = poll;
        return result;
    }

    // Runs the start-up sequence and waits for its end.
    static ::testing::AssertionResult bootstrapped(AppModel& model)
    {
        QSignalSpy finished(&model, &AppModel::bootstrapFinished);
        model.bootstrap();
        if (finished.count() == 0 && !finished.wait(30000))
            return ::testing::AssertionFailure() << "bootstrap did not finish";
        return ::testing::AssertionSuccess();
    }

    // A lone process named workerd, listening on a loopback port, working in `folder`.
    static std::unique_ptr<FixtureTree> externalWorkerd(const QString& folder)
    {
        return std::make_unique<FixtureTree>(
            folder, QStringList{QStringLiteral("--name"), QStringLiteral("workerd"),
                                QStringLiteral("--listen"), QStringLiteral("4:low")});
    }

    static QUrl addressOf(const FixtureTree& tree)
    {
        return QUrl(QStringLiteral("http://localhost:") +
                    QString::number(tree.named(QStringLiteral("workerd")).ports.value(0)));
    }

    TempFolder shells;
};
