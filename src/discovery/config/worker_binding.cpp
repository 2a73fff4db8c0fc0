#include "discovery/config/worker_binding.h"

const QList<BindingKind>& allBindingKinds()
{
    static const QList<BindingKind> kinds{
        BindingKind::d1,
        BindingKind::kv,
        BindingKind::r2,
        BindingKind::queue,
        BindingKind::durableObject,
        BindingKind::workflow,
        BindingKind::service,
        BindingKind::ai,
        BindingKind::vectorize,
        BindingKind::hyperdrive,
        BindingKind::analytics,
        BindingKind::browser,
        BindingKind::assets,
        BindingKind::tailConsumer,
        BindingKind::other,
    };
    return kinds;
}

QString rawValue(BindingKind kind)
{
    switch (kind) {
    case BindingKind::d1: return QStringLiteral("d1");
    case BindingKind::kv: return QStringLiteral("kv");
    case BindingKind::r2: return QStringLiteral("r2");
    case BindingKind::queue: return QStringLiteral("queue");
    case BindingKind::durableObject: return QStringLiteral("durableObject");
    case BindingKind::workflow: return QStringLiteral("workflow");
    case BindingKind::service: return QStringLiteral("service");
    case BindingKind::ai: return QStringLiteral("ai");
    case BindingKind::vectorize: return QStringLiteral("vectorize");
    case BindingKind::hyperdrive: return QStringLiteral("hyperdrive");
    case BindingKind::analytics: return QStringLiteral("analytics");
    case BindingKind::browser: return QStringLiteral("browser");
    case BindingKind::assets: return QStringLiteral("assets");
    case BindingKind::tailConsumer: return QStringLiteral("tailConsumer");
    case BindingKind::other: return QStringLiteral("other");
    }
    return {};
}

std::optional<BindingKind> bindingKindFromRaw(const QString& raw)
{
    for (BindingKind kind : allBindingKinds())
        if (rawValue(kind) == raw)
            return kind;
    return std::nullopt;
}

QString WorkerBinding::id() const
{
    return rawValue(kind) + QLatin1Char(':') + name + QLatin1Char(':') + detail.value_or(QString());
}

std::optional<QString> WorkerBinding::reachedWorker() const
{
    if (worker)
        return worker;
    if (kind == BindingKind::service && detail && !detail->isEmpty())
        return detail;
    return std::nullopt;
}

size_t qHash(const WorkerBinding& binding, size_t seed) noexcept
{
    return qHashMulti(seed, int(binding.kind), binding.name, binding.detail.value_or(QString()),
                      binding.detail.has_value());
}
