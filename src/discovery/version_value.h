#pragma once

#include <QList>
#include <QString>

#include <optional>

// A package version as a list of non-negative numbers ("4.82.1" is 4, 82, 1). Pre-release and
// build suffixes are ignored, so "4.82.1-beta.3" reads as 4.82.1.
using VersionValue = QList<int>;

// The numbers of a version text: trimmed, one leading "v" dropped, cut at the first "-" or "+",
// split at "."; pieces that are not base-10 numbers are skipped. None when no piece is a number.
std::optional<VersionValue> parseVersion(const QString& text);

// Element by element, a missing element counting as 0: 4.82 equals 4.82.0, and 4.9.0 is older
// than 4.82.1. Equal versions are not older.
bool isOlder(const VersionValue& version, const VersionValue& than);
