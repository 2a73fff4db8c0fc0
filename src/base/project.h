#pragma once

#include "base/run_mode.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// A registered project. `path` (standardized, absolute) is its identity everywhere.
struct Project
{
    QString path;
    QString configFile; // "wrangler.jsonc", "wrangler.json" or "wrangler.toml"
    QString name;
    std::optional<QString> rootPath; // absent for projects added by hand
    bool hidden = false;
    std::optional<bool> favorite; // present only as true once written by the application
    std::optional<int> port;
    std::optional<int> inspectorPort;
    std::optional<RunModeKind> runModeOverride;
    std::optional<QString> customCommand;
    // The Wrangler environment chosen for runs; absent for the top level (never empty).
    std::optional<QString> environment;

    bool isFavorite() const { return favorite.value_or(false); }
    friend bool operator==(const Project&, const Project&) = default;
};

// The persisted roots and projects.
struct Registry
{
    QStringList roots;
    QList<Project> projects;

    friend bool operator==(const Registry&, const Registry&) = default;
};
