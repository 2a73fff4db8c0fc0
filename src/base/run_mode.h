#pragma once

#include <QList>
#include <QString>

#include <optional>

// How a project's dev server is started. The raw value is the persisted form.
enum class RunModeKind { wrangler, vite, custom, pages, devScript };

// Every case in declaration order.
const QList<RunModeKind>& allRunModes();
QString rawValue(RunModeKind mode);
std::optional<RunModeKind> runModeFromRaw(const QString& raw);
// Human-readable label ("Plain Wrangler", ...).
QString label(RunModeKind mode);
