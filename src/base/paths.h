#pragma once

#include <QString>

// Lexical path standardization, the identity rule for roots and project folders: a leading
// "~" or "~user" is expanded, "." segments are removed, ".." removes the segment before it,
// duplicate slashes collapse and a trailing slash is dropped. Symbolic links are NOT resolved,
// so a project keeps the path under which the user named it. Relative paths stay relative.
QString standardizePath(const QString& path);

// The last component of a standardized path ("/a/b" -> "b", "/" -> "/").
QString lastPathComponent(const QString& path);

// Joins a folder and a name with exactly one slash between them.
QString joinPath(const QString& folder, const QString& name);
