#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// The roots whose entries cannot be listed (missing, not a folder, or not readable by this
// user). Touches the file system: run it off the main thread.
QSet<QString> unreadableFolders(const QStringList& roots);
