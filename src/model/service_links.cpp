#include "model/service_links.h"

#include "discovery/dev_registry_watcher.h"
#include "discovery/environment_choice.h"
#include "discovery/worker_identity.h"
#include "model/app_model.h"
#include "supervision/shell_environment.h"

QString registryWorkerNameOf(const AppModel& model, const QString& path)
{
    const ProjectInfo* info = model.infoFor(path);
    const std::optional<Project> project = model.findProject(path);
    return info && project ? registryWorkerName(*project, *info) : QString();
}

QString projectOfWorker(const AppModel& model, const QString& worker)
{
    return workerOwners(model.projects(), model.infos()).value(worker);
}

bool isRegistered(const AppModel& model, const QString& path)
{
    const QString worker = registryWorkerNameOf(model, path);
    return !worker.isEmpty() && model.devRegistry()->liveEntry(worker);
}

QList<BindingConnection> bindingConnectionsOf(const AppModel& model, const QString& path)
{
    const ProjectInfo* info = model.infoFor(path);
    const std::optional<Project> project = model.findProject(path);
    if (!info || !project)
        return {};
    // The bindings of the environment the project runs with.
    return bindingConnections(infoForActiveEnvironment(*project, *info).bindings,
                              registryWorkerName(*project, *info), model.devRegistry()->entries());
}

StartPlan serviceStartPlan(const AppModel& model, const QString& path)
{
    QList<ServiceNode> nodes;
    nodes.reserve(model.projects().size());
    for (const Project& project : model.projects()) {
        ServiceNode node{project.path, {}, {}};
        if (const ProjectInfo* info = model.infoFor(project.path)) {
            node.workerName = registryWorkerName(project, *info);
            // Queues are left out: a producer works without its consumer running.
            for (const WorkerBinding& binding : infoForActiveEnvironment(project, *info).bindings)
                if (const std::optional<QString> worker = binding.reachedWorker())
                    node.neededWorkers.append(*worker);
        }
        nodes.append(std::move(node));
    }
    return planServiceStart(path, nodes);
}

bool needsLocalServices(const AppModel& model, const QString& path)
{
    const StartPlan plan = serviceStartPlan(model, path);
    return plan.steps.size() > 1 || (!plan.steps.isEmpty() && plan.steps.first().cycle());
}

QStringList devRegistryFoldersOf(const AppModel& model)
{
    return devRegistryFolders(
        ShellEnvironment::childEnvironment(model.rawShellEnv(), model.settings().nodePath));
}
