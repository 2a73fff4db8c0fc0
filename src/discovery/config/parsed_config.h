#pragma once

#include "discovery/config/worker_binding.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What the application shows about a worker, read from the top level of its configuration
// (environment sections are not consulted).
struct ParsedConfig
{
    std::optional<QString> workerName;        // "name"
    std::optional<QString> main;              // "main"
    std::optional<QString> compatibilityDate; // "compatibility_date"
    std::optional<QString> pagesOutputDir;    // "pages_build_output_dir"
    QList<WorkerBinding> bindings;
    QStringList varNames; // keys of "vars", sorted ascending

    friend bool operator==(const ParsedConfig&, const ParsedConfig&) = default;
};

// Reads the four scalar fields (only when they are strings), the bindings of the fifteen
// binding sections in their fixed order, and the names of the plain variables. Never fails:
// anything of an unexpected shape contributes nothing.
ParsedConfig extractConfig(const QJsonObject& tree);
