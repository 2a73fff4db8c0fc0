#include "ui/settings/folder_access.h"

#include "base/directory_entries.h"

QSet<QString> unreadableFolders(const QStringList& roots)
{
    QSet<QString> blocked;
    for (const QString& root : roots) {
        const QByteArray path = root.toLocal8Bit();
        if (!forEachDirectoryEntry(AT_FDCWD, path.constData(), [](const dirent&, int) {}))
            blocked.insert(root);
    }
    return blocked;
}
