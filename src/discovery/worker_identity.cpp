#include "discovery/worker_identity.h"

#include "discovery/environment_choice.h"

QString registryWorkerName(const Project& project, const ProjectInfo& info)
{
    return configuredWorkerName(project, &info).value_or(QString());
}

QHash<QString, QString> workerOwners(const QList<Project>& projects, const ProjectInfoMap& infos)
{
    QHash<QString, QString> owners;
    for (const Project& project : projects) {
        const auto info = infos.constFind(project.path);
        if (info == infos.constEnd())
            continue;
        const QString worker = registryWorkerName(project, *info);
        if (worker.isEmpty())
            continue;
        const auto existing = owners.constFind(worker);
        owners.insert(worker, existing == owners.constEnd() ? project.path : QString());
    }
    return owners;
}
