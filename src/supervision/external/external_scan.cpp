#include "supervision/external/external_scan.h"

#include "base/paths.h"

#include <algorithm>

namespace {

constexpr int maxLaunchers = 6;

struct Candidate
{
    QString folder; // standardized
    QString prefix; // folder + "/": a path below it begins with this
    const Project* project = nullptr;
};

// Longest folder first, so that a process inside nested projects goes to the innermost one;
// equal lengths keep the order they were given in.
QList<Candidate> candidatesOf(const QList<Project>& projects)
{
    QList<Candidate> candidates;
    candidates.reserve(projects.size());
    for (const Project& project : projects) {
        const QString folder = standardizePath(project.path);
        if (folder.isEmpty())
            continue;
        candidates.append({folder, folder.endsWith(u'/') ? folder : folder + u'/', &project});
    }
    std::stable_sort(candidates.begin(), candidates.end(), [](const auto& a, const auto& b) {
        return a.folder.size() > b.folder.size();
    });
    return candidates;
}

// The runtime followed by the launchers above it, nearest first: parents are added while
// their names are runtime names, stopping at init, at an unreadable parent, or after the
// sixth launcher.
QList<qint32> launcherChain(const ProcessTable& table, qint32 pid, const ProcessInfo& info)
{
    QList<qint32> chain{pid};
    qint32 parent = info.ppid;
    int launchers = 0;
    while (parent > 1) {
        if (!runtimeProcessNames().contains(table.name(parent)))
            break;
        chain.append(parent);
        ++launchers;
        const std::optional<ProcessInfo> parentInfo = table.info(parent);
        if (!parentInfo || parentInfo->ppid < 2 || launchers == maxLaunchers)
            break;
        parent = parentInfo->ppid;
    }
    return chain;
}

const Candidate* matchingProject(const QList<Candidate>& candidates, const QStringList& folders)
{
    for (const Candidate& candidate : candidates) {
        for (const QString& folder : folders) {
            if (folder == candidate.folder || folder.startsWith(candidate.prefix))
                return &candidate;
        }
    }
    return nullptr;
}

} // namespace

const QSet<QString>& runtimeProcessNames()
{
    static const QSet<QString> names{
        QStringLiteral("workerd"), QStringLiteral("node"), QStringLiteral("bun"),
        QStringLiteral("deno"),    QStringLiteral("npm"),  QStringLiteral("pnpm"),
        QStringLiteral("yarn"),    QStringLiteral("npx"),
    };
    return names;
}

std::optional<int> pickPort(const QList<int>& ports, std::optional<int> savedPort,
                            int temporaryFloor)
{
    if (ports.isEmpty())
        return std::nullopt;
    if (savedPort && ports.contains(*savedPort))
        return savedPort;
    const int lowest = *std::min_element(ports.begin(), ports.end());
    std::optional<int> lowestChosen;
    for (int port : ports) {
        if (port < temporaryFloor && (!lowestChosen || port < *lowestChosen))
            lowestChosen = port;
    }
    return lowestChosen ? lowestChosen : lowest;
}

ExternalScan scanExternal(const ProcessTable& table, const QList<Project>& projects,
                          const QSet<qint32>& excludedGroups)
{
    const QList<Candidate> candidates = candidatesOf(projects);
    if (candidates.isEmpty())
        return {};

    const QString runtimeName = QStringLiteral("workerd");
    QHash<const Candidate*, QList<qint32>> matched;
    for (qint32 pid : table.listAllPIDs()) {
        if (table.name(pid) != runtimeName)
            continue;
        const std::optional<ProcessInfo> info = table.info(pid);
        if (!info || excludedGroups.contains(info->pgid))
            continue;
        const QList<qint32> chain = launcherChain(table, pid, *info);
        QStringList folders;
        for (qint32 member : chain) {
            const QString folder = table.workingFolder(member);
            if (!folder.isEmpty())
                folders.append(standardizePath(folder));
        }
        if (const Candidate* candidate = matchingProject(candidates, folders))
            matched[candidate].append(chain);
    }

    ExternalScan result;
    if (matched.isEmpty())
        return result;
    const int temporaryFloor = table.temporaryPortFloor();
    for (auto it = matched.begin(); it != matched.end(); ++it) {
        QList<qint32> pids = it.value();
        std::sort(pids.begin(), pids.end());
        pids.erase(std::unique(pids.begin(), pids.end()), pids.end());
        QList<int> ports;
        for (qint32 pid : pids)
            ports.append(table.listeningPorts(pid));
        const Project& project = *it.key()->project;
        result.insert(project.path,
                      ExternalProcess{pids, pickPort(ports, project.port, temporaryFloor)});
    }
    return result;
}
