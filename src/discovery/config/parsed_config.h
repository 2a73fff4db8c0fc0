#pragma once

#include "discovery/config/environment_config.h"
#include "discovery/config/worker_binding.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What the application shows about a worker: the top level of its configuration, and each
// named environment resolved against it.
struct ParsedConfig
{
    std::optional<QString> workerName;        // "name"
    std::optional<QString> main;              // "main"
    std::optional<QString> compatibilityDate; // "compatibility_date"
    std::optional<QString> pagesOutputDir;    // "pages_build_output_dir"
    QList<WorkerBinding> bindings;
    QStringList varNames;                  // keys of "vars", sorted ascending
    QList<EnvironmentConfig> environments; // the tables under "env", by name

    friend bool operator==(const ParsedConfig&, const ParsedConfig&) = default;
};

// Reads the four scalar fields (only when they are strings), the bindings of the fifteen
// binding sections in their fixed order, the names of the plain variables, and every
// environment whose entry under "env" is a table. Never fails: anything of an unexpected
// shape contributes nothing.
ParsedConfig extractConfig(const QJsonObject& tree);
