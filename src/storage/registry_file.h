#pragma once

#include "base/project.h"

#include <QByteArray>
#include <QJsonObject>

#include <optional>

// "registry.json": one object with "projects" and "roots".
QJsonObject encodeRegistry(const Registry& registry);
// Strict decoding: a missing required key, a value of the wrong type or an unknown run mode
// fails the whole document. null counts as absent; unknown keys are ignored.
std::optional<Registry> decodeRegistry(const QByteArray& json);

// Writes the registry through saveJSON; returns the logged failure line, if any.
std::optional<QString> saveRegistry(const Registry& registry);
// Reads "registry.json"; none when it is missing or undecodable. A file that is present but
// undecodable is moved aside first, so that the next save does not destroy it.
std::optional<Registry> loadRegistry();
