#include "presentation/binding_items.h"

#include "discovery/worker_identity.h"
#include "model/project_list.h"

#include <QHash>

#include <algorithm>

BindingStyle bindingStyle(BindingKind kind)
{
    const auto style = [](const char* color, const char* tag, const char* icon) {
        return BindingStyle{QString::fromLatin1(color), QString::fromLatin1(tag),
                            QString::fromLatin1(icon)};
    };
    switch (kind) {
    case BindingKind::d1: return style("#3B82F6", "D1", "database");
    case BindingKind::kv: return style("#8B5CF6", "KV", "key-round");
    case BindingKind::r2: return style("#F59E0B", "R2", "hard-drive");
    case BindingKind::queue: return style("#10B981", "Queue", "layers");
    case BindingKind::durableObject: return style("#EC4899", "Durable Object", "box");
    case BindingKind::workflow: return style("#06B6D4", "Workflow", "workflow");
    case BindingKind::service: return style("#6366F1", "Service", "link-2");
    case BindingKind::ai: return style("#FF3253", "Workers AI", "sparkles");
    case BindingKind::vectorize: return style("#14B8A6", "Vectorize", "waypoints");
    case BindingKind::hyperdrive: return style("#EAB308", "Hyperdrive", "zap");
    case BindingKind::analytics: return style("#84CC16", "Analytics", "chart-column");
    case BindingKind::browser: return style("#0EA5E9", "Browser", "app-window");
    case BindingKind::assets: return style("#A855F7", "Assets", "image");
    case BindingKind::tailConsumer: return style("#F97316", "Tail consumer", "scroll-text");
    case BindingKind::other: break;
    }
    return style("#9CA3AF", "Binding", "package");
}

bool explorerShows(BindingKind kind)
{
    switch (kind) {
    case BindingKind::d1:
    case BindingKind::kv:
    case BindingKind::r2:
    case BindingKind::durableObject:
    case BindingKind::workflow: return true;
    default: return false;
    }
}

BindingItem bindingItem(const WorkerBinding& binding)
{
    const BindingStyle style = bindingStyle(binding.kind);
    BindingItem item;
    item.id = binding.id();
    item.icon = style.icon;
    item.color = style.color;
    item.title = binding.name;
    item.tag = style.tag;
    item.explorer = explorerShows(binding.kind);
    item.copyValues = {{QStringLiteral("Copy binding name"), binding.name}};
    // An empty resource name (an empty string in the configuration) names nothing to show.
    if (binding.detail && !binding.detail->isEmpty()) {
        item.subtitle = *binding.detail;
        item.copyValues.append({QStringLiteral("Copy resource name"), *binding.detail});
    }
    return item;
}

std::optional<BindingItem> variablesItem(const QStringList& varNames)
{
    if (varNames.isEmpty())
        return std::nullopt;
    constexpr qsizetype shown = 4;
    QString subtitle = varNames.first(qMin(shown, varNames.size())).join(QStringLiteral(", "));
    if (varNames.size() > shown)
        subtitle += QStringLiteral(" +") + QString::number(varNames.size() - shown);
    BindingItem item;
    item.id = QStringLiteral("vars");
    item.icon = QStringLiteral("braces");
    item.title = QStringLiteral("Variables");
    item.subtitle = subtitle;
    item.tag = varNames.size() == 1 ? QStringLiteral("1 var")
                                    : QString::number(varNames.size()) + QStringLiteral(" vars");
    item.copyValues = {
        {QStringLiteral("Copy variable names"), varNames.join(QStringLiteral(", "))}};
    return item;
}

namespace {

QHash<QString, QString> ownersOf(const LocalWorkers& workers)
{
    return workers.infos ? workerOwners(workers.projects, *workers.infos)
                         : QHash<QString, QString>();
}

} // namespace

BindingItems buildBindingItems(const ProjectInfo& info, const LocalWorkers& workers,
                               const QList<BindingConnection>& connections)
{
    BindingItems result;
    result.items.reserve(info.bindings.size() + 1);
    QHash<QString, QString> owners;
    bool ownersBuilt = false;
    for (const WorkerBinding& binding : info.bindings) {
        BindingItem item = bindingItem(binding);
        if (const std::optional<QString> worker = binding.reachedWorker()) {
            if (!ownersBuilt) {
                owners = ownersOf(workers);
                ownersBuilt = true;
            }
            const QString owner = owners.value(*worker);
            if (!owner.isEmpty() && owner != workers.selfID) {
                const qsizetype index = indexOfProject(workers.projects, owner);
                const LocalService service{
                    owner, displayNameAmong(workers.projects[index], workers.projects)};
                item.localService = service;
                result.localServices.append({item.id, service});
            }
        }
        for (const BindingConnection& connection : connections)
            if (connection.bindingID == item.id)
                item.connected = connection.connected;
        result.items.append(std::move(item));
    }
    if (auto vars = variablesItem(info.varNames))
        result.items.append(std::move(*vars));
    return result;
}

std::optional<LocalService> localServiceNamed(const QString& worker, const LocalWorkers& workers)
{
    const QString owner = ownersOf(workers).value(worker);
    if (owner.isEmpty() || owner == workers.selfID)
        return std::nullopt;
    const qsizetype index = indexOfProject(workers.projects, owner);
    return LocalService{owner, displayNameAmong(workers.projects[index], workers.projects)};
}

QList<DisconnectedService> disconnectedServices(const QList<BindingConnection>& connections,
                                                const LocalWorkers& workers)
{
    QList<DisconnectedService> missing;
    for (const BindingConnection& connection : connections) {
        if (connection.connected)
            continue;
        const auto same = std::find_if(missing.begin(), missing.end(), [&](const auto& known) {
            return known.worker == connection.worker && known.queue == connection.queue;
        });
        if (same != missing.end()) {
            if (!same->bindings.contains(connection.binding))
                same->bindings.append(connection.binding);
            continue;
        }
        DisconnectedService service{
            connection.worker, connection.queue, {connection.binding}, std::nullopt};
        if (!connection.worker.isEmpty())
            service.project = localServiceNamed(connection.worker, workers);
        missing.append(std::move(service));
    }
    return missing;
}

QString disconnectedText(const DisconnectedService& service)
{
    const QString bindings = service.bindings.join(QStringLiteral(", "));
    if (service.worker.isEmpty())
        return bindings + QStringLiteral(" can't deliver to ") + service.queue.value_or(QString()) +
               QStringLiteral(": no Worker consuming it is running locally.");
    return bindings + QStringLiteral(" can't reach ") + service.worker +
           QStringLiteral(": it isn't running locally.");
}
