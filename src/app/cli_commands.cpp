#include "app/cli_commands.h"

#include "app/cli_json.h"
#include "base/paths.h"
#include "discovery/project_reader.h"
#include "discovery/root_scan.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

void print(const QJsonArray& array)
{
    const QByteArray text = QJsonDocument(array).toJson(QJsonDocument::Indented);
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fflush(stdout);
}

// The folder as the application would register it: absolute and standardized.
QString projectFolder(const QString& argument)
{
    return standardizePath(QDir::current().absoluteFilePath(standardizePath(argument)));
}

// Why the path cannot be read as a folder, or none when it can.
std::optional<QString> folderError(const QString& folder)
{
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    ::close(fd);
    return std::nullopt;
}

QJsonObject inspectEntry(const QString& argument)
{
    const QString folder = projectFolder(argument);
    QJsonObject entry{{QStringLiteral("path"), folder}};
    if (const auto error = folderError(folder)) {
        entry.insert(QStringLiteral("error"), *error);
        return entry;
    }
    const std::optional<DiscoveredConfig> config = findConfig(folder);
    if (!config)
        return entry;
    Project project;
    project.path = folder;
    project.configFile = config->file;
    project.name = lastPathComponent(folder);
    entry.insert(QStringLiteral("configFile"), config->file);
    entry.insert(QStringLiteral("info"), toJson(inspectProject(project)));
    return entry;
}

} // namespace

int runInspect(const QStringList& paths)
{
    QJsonArray entries;
    for (const QString& path : paths)
        entries.append(inspectEntry(path));
    print(entries);
    return 0;
}

int runScan(const QString& root)
{
    QJsonArray found;
    for (const DiscoveredConfig& config : scanRoot(root))
        found.append(toJson(config));
    print(found);
    return 0;
}
