#include "discovery/root_scan.h"

#include "base/paths.h"
#include "discovery/discovery_names.h"
#include "discovery/folder_walk.h"

#include <QFile>

#include <algorithm>
#include <sys/stat.h>
#include <unordered_map>

QList<DiscoveredConfig> scanRoot(const QString& root)
{
    std::string start = QFile::encodeName(root).toStdString();
    while (start.size() > 1 && start.back() == '/')
        start.pop_back();

    // Folder path -> best rank seen there; the walk may meet the names in any order.
    std::unordered_map<std::string, int> best;
    FolderWalkVisitor visitor;
    visitor.file = [&best](const std::string& folder, const char* name) {
        const std::optional<int> rank = configFileRank(name);
        if (!rank)
            return;
        auto [it, inserted] = best.try_emplace(folder, *rank);
        if (!inserted && *rank < it->second)
            it->second = *rank;
    };
    walkFolders(start, 0, visitor);

    QList<DiscoveredConfig> found;
    found.reserve(qsizetype(best.size()));
    for (const auto& [folder, rank] : best)
        found.append(
            {QFile::decodeName(QByteArray::fromStdString(folder)), configFileNames().at(rank)});
    std::sort(found.begin(), found.end(),
              [](const DiscoveredConfig& a, const DiscoveredConfig& b) { return a.dir < b.dir; });
    return found;
}

std::optional<DiscoveredConfig> findConfig(const QString& folder)
{
    for (const QString& name : configFileNames()) {
        // "Something exists": a dangling link does not count, anything else does.
        struct stat info;
        if (::stat(QFile::encodeName(joinPath(folder, name)).constData(), &info) == 0)
            return DiscoveredConfig{folder, name};
    }
    return std::nullopt;
}
