#pragma once

#include <QHashFunctions>
#include <QList>
#include <QString>

#include <optional>

// The kinds of binding a configuration declares, in their display order.
enum class BindingKind {
    d1,
    kv,
    r2,
    queue,
    durableObject,
    workflow,
    service,
    ai,
    vectorize,
    hyperdrive,
    analytics,
    browser,
    assets,
    tailConsumer,
    other
};

const QList<BindingKind>& allBindingKinds();
QString rawValue(BindingKind kind);
std::optional<BindingKind> bindingKindFromRaw(const QString& raw);

// One binding of a worker. `name` is never empty.
struct WorkerBinding
{
    BindingKind kind = BindingKind::other;
    QString name;
    std::optional<QString> detail; // the bound resource, when the configuration names one
    // The other Worker the binding reaches, when the configuration names one: a service's
    // "service", a Durable Object's "script_name", a tail consumer's "service".
    std::optional<QString> worker = std::nullopt;

    // "<kind>:<name>:<detail or empty>", e.g. "d1:DB:main-db".
    QString id() const;
    // The other Worker this binding reaches: `worker`, or a service's detail (its service).
    std::optional<QString> reachedWorker() const;

    friend bool operator==(const WorkerBinding&, const WorkerBinding&) = default;
};

size_t qHash(const WorkerBinding& binding, size_t seed = 0) noexcept;
