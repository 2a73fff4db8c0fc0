#pragma once

#include <QString>

#include <optional>

// The format of a Wrangler configuration file. The raw value is its encoded form.
enum class ConfigKind { toml, json, jsonc };

QString rawValue(ConfigKind kind);
std::optional<ConfigKind> configKindFromRaw(const QString& raw);

// From the file name's extension, lower-cased: "toml" and "json" name their kinds; anything else
// (also "jsonc" and no extension) is JSON with comments.
ConfigKind configKindForFile(const QString& fileName);
