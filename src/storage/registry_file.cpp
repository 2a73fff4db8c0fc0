#include "storage/registry_file.h"

#include "storage/json_fields.h"
#include "storage/storage.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

namespace key {
const QString projects = QStringLiteral("projects");
const QString roots = QStringLiteral("roots");
const QString configFile = QStringLiteral("configFile");
const QString customCommand = QStringLiteral("customCommand");
const QString environment = QStringLiteral("environment");
const QString favorite = QStringLiteral("favorite");
const QString hidden = QStringLiteral("hidden");
const QString inspectorPort = QStringLiteral("inspectorPort");
const QString name = QStringLiteral("name");
const QString path = QStringLiteral("path");
const QString port = QStringLiteral("port");
const QString rootPath = QStringLiteral("rootPath");
const QString runModeOverride = QStringLiteral("runModeOverride");
} // namespace key

QJsonObject encodeProject(const Project& project)
{
    QJsonObject object{
        {key::configFile, project.configFile},
        {key::hidden, project.hidden},
        {key::name, project.name},
        {key::path, project.path},
    };
    if (project.customCommand)
        object.insert(key::customCommand, *project.customCommand);
    if (project.environment && !project.environment->isEmpty())
        object.insert(key::environment, *project.environment);
    if (project.favorite)
        object.insert(key::favorite, *project.favorite);
    if (project.inspectorPort)
        object.insert(key::inspectorPort, *project.inspectorPort);
    if (project.port)
        object.insert(key::port, *project.port);
    if (project.rootPath)
        object.insert(key::rootPath, *project.rootPath);
    if (project.runModeOverride)
        object.insert(key::runModeOverride, rawValue(*project.runModeOverride));
    return object;
}

std::optional<Project> decodeProject(const QJsonValue& value)
{
    using namespace json_fields;
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    Project project;
    std::optional<QString> runMode;
    const bool ok = readString(object, key::configFile, project.configFile) &&
                    readBool(object, key::hidden, project.hidden) &&
                    readString(object, key::name, project.name) &&
                    readString(object, key::path, project.path) &&
                    readOptionalString(object, key::customCommand, project.customCommand) &&
                    readOptionalString(object, key::environment, project.environment) &&
                    readOptionalBool(object, key::favorite, project.favorite) &&
                    readOptionalInteger(object, key::inspectorPort, project.inspectorPort) &&
                    readOptionalInteger(object, key::port, project.port) &&
                    readOptionalString(object, key::rootPath, project.rootPath) &&
                    readOptionalString(object, key::runModeOverride, runMode);
    if (!ok)
        return std::nullopt;
    // An empty name is the top level, as Wrangler reads an empty --env.
    if (project.environment && project.environment->isEmpty())
        project.environment.reset();
    if (runMode) {
        project.runModeOverride = runModeFromRaw(*runMode);
        if (!project.runModeOverride)
            return std::nullopt;
    }
    return project;
}

} // namespace

QJsonObject encodeRegistry(const Registry& registry)
{
    QJsonArray projects;
    for (const Project& project : registry.projects)
        projects.append(encodeProject(project));
    return QJsonObject{
        {key::projects, projects},
        {key::roots, QJsonArray::fromStringList(registry.roots)},
    };
}

std::optional<Registry> decodeRegistry(const QByteArray& json)
{
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue projects = object.value(key::projects);
    const QJsonValue roots = object.value(key::roots);
    if (!projects.isArray() || !roots.isArray())
        return std::nullopt;

    Registry registry;
    for (const QJsonValue root : roots.toArray()) {
        if (!root.isString())
            return std::nullopt;
        registry.roots.append(root.toString());
    }
    for (const QJsonValue value : projects.toArray()) {
        std::optional<Project> project = decodeProject(value);
        if (!project)
            return std::nullopt;
        registry.projects.append(std::move(*project));
    }
    return registry;
}

std::optional<QString> saveRegistry(const Registry& registry)
{
    return saveJSON(encodeRegistry(registry), QString::fromLatin1(registryFileName));
}

std::optional<Registry> loadRegistry()
{
    const QString fileName = QString::fromLatin1(registryFileName);
    const DataFileRead read = readDataFile(fileName);
    if (read.status == DataFileRead::Status::absent)
        return std::nullopt;
    std::optional<Registry> registry;
    if (read.status == DataFileRead::Status::read)
        registry = decodeRegistry(read.bytes);
    if (!registry)
        moveDataFileAside(fileName);
    return registry;
}
