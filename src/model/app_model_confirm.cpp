// Confirmations before acting on servers: stopping one started elsewhere, and quitting.
#include "base/product_name.h"
#include "desktop/alert_presenter.h"
#include "model/app_model.h"
#include "runs/project_runtime.h"
#include "supervision/external/process_table.h"

#include <QTimer>

#include <csignal>

namespace {

Alert externalStopAlert(const QString& name, bool restart)
{
    const QString notStartedHere = QStringLiteral("This project wasn't started by ") +
                                   Product::name + QStringLiteral(" (probably from a terminal). ");
    if (restart)
        return {QStringLiteral("Restart ") + name + u'?',
                notStartedHere + QStringLiteral("It will be stopped and started again from "
                                                "here, so its logs become available."),
                {QStringLiteral("Restart"), QStringLiteral("Cancel")},
                AlertStyle::warning};
    return {QStringLiteral("Stop ") + name + u'?',
            notStartedHere + QStringLiteral("Stopping it will send a quit signal to its "
                                            "wrangler/workerd processes."),
            {QStringLiteral("Stop"), QStringLiteral("Cancel")},
            AlertStyle::warning};
}

} // namespace

void AppModel::confirmExternalStop(const QString& path, bool restart,
                                   std::function<void(bool)> onAnswer)
{
    const auto answer = [onAnswer = std::move(onAnswer)](bool confirmed) {
        if (onAnswer)
            onAnswer(confirmed);
    };
    const std::optional<Project> project = findProject(path);
    if (!project || !context_.desktop.alerts) {
        answer(false);
        return;
    }
    QPointer<AppModel> model(this);
    context_.desktop.alerts->show(externalStopAlert(project->name, restart),
                                  [model, path, answer](int choice) {
                                      if (!model || choice != 0) {
                                          answer(false);
                                          return;
                                      }
                                      model->stopExternalProcesses(path);
                                      answer(true);
                                  });
}

Alert AppModel::externalStopQuestion(const QString& path, bool restart) const
{
    const std::optional<Project> project = findProject(path);
    return externalStopAlert(project ? project->name : QString(), restart);
}

void AppModel::stopExternalProcesses(const QString& path)
{
    ProjectRuntime* runtime = runtimeFor(path);
    if (!runtime)
        return;
    // Each process on its own, not its group: a terminal's group may hold the shell.
    // A pid that now names another process (a different start time) is left alone.
    const std::unique_ptr<ProcessTable> table = makeProcessTable();
    for (const qint32 pid : runtime->externalPIDs()) {
        const std::optional<ProcessInfo> info = table->info(pid);
        const auto recorded = externalStartTimes_.constFind(pid);
        if (info && recorded != externalStartTimes_.cend() && info->startSec == recorded.value())
            ::kill(pid, SIGTERM);
    }
    runtime->outsideStopSent();
    QTimer::singleShot(context_.externalRefreshDelay, this, [this] { refreshExternal(); });
}

void AppModel::confirmQuit(std::function<void(bool)> onAnswer)
{
    QStringList running;
    for (const Project& project : std::as_const(projects_)) {
        const auto runtime = runtimes_.constFind(project.path);
        if (runtime != runtimes_.cend() && runtime.value()->managed())
            running.append(project.name);
    }
    if (running.isEmpty() || !context_.desktop.alerts) {
        onAnswer(running.isEmpty());
        return;
    }
    const qsizetype count = running.size();
    const Alert alert{
        QStringLiteral("Stop ") + QString::number(count) + QStringLiteral(" running project") +
            (count == 1 ? QString() : QStringLiteral("s")) + QStringLiteral(" and quit?"),
        running.join(QStringLiteral(", ")),
        {QStringLiteral("Stop and Quit"), QStringLiteral("Cancel")},
        AlertStyle::warning};
    context_.desktop.alerts->show(
        alert, [onAnswer = std::move(onAnswer)](int choice) { onAnswer(choice == 0); });
}
