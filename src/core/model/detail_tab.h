#pragma once

#include <QString>

#include <optional>

// The tab shown for the selected project.
enum class DetailTab { overview, logs, explorer, settings };

QString rawValue(DetailTab tab);
std::optional<DetailTab> detailTabFromRaw(const QString& raw);
