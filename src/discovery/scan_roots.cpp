#include "discovery/scan_roots.h"

#include "base/paths.h"
#include "discovery/project_reader.h"
#include "discovery/root_scan.h"

QList<RootScanResult> scanRoots(const QStringList& roots)
{
    QList<RootScanResult> results;
    results.reserve(roots.size());
    for (const QString& root : roots) {
        RootScanResult result{root, {}};
        for (const DiscoveredConfig& config : scanRoot(root)) {
            Project provisional;
            provisional.path = standardizePath(config.dir);
            provisional.configFile = config.file;
            provisional.name = lastPathComponent(provisional.path);
            provisional.rootPath = root;
            result.found.append({config, inspectProject(provisional)});
        }
        results.append(result);
    }
    return results;
}
