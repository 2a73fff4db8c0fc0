#pragma once

#include "discovery/config/worker_binding.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// One named environment of a configuration ("[env.NAME]", "env": {"NAME": ...}) as Wrangler
// resolves it for `--env NAME`: inheritable keys fall back to the top level, the others
// (variables and every binding but assets) belong to the environment alone.
struct EnvironmentConfig
{
    QString name;
    // Its own "name", else "<top-level name>-<environment>", else none.
    std::optional<QString> workerName;
    std::optional<QString> main;
    std::optional<QString> compatibilityDate;
    QList<WorkerBinding> bindings;
    QStringList varNames; // sorted as the top level's
    // Non-inheritable keys that the top level sets and this environment lacks, which Wrangler
    // warns about ("vars", "kv_namespaces", ...), in a fixed order.
    QStringList notInherited;

    friend bool operator==(const EnvironmentConfig&, const EnvironmentConfig&) = default;
};
