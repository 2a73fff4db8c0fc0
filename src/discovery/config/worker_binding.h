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

    // "<kind>:<name>:<detail or empty>", e.g. "d1:DB:main-db".
    QString id() const;

    friend bool operator==(const WorkerBinding&, const WorkerBinding&) = default;
};

size_t qHash(const WorkerBinding& binding, size_t seed = 0) noexcept;
