#pragma once

#include "discovery/file_probe.h"

#include <QJsonObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>

// The folders one inspection looks at, each opened once: lookups below a folder go through
// its descriptor (one path component for the kernel to resolve, not the whole path), and its
// listing and its "package.json" are read at most once. Folders are named by their
// standardized path; a folder that cannot be opened has no entries. One cache serves one
// inspection on one thread; what it read may be out of date afterwards.
class FolderCache
{
public:
    FolderCache() = default;
    ~FolderCache();
    FolderCache(const FolderCache&) = delete;
    FolderCache& operator=(const FolderCache&) = delete;

    bool exists(const QString& folder, const QString& relative);
    file_probe::ReadResult read(const QString& folder, const QString& relative);
    std::optional<QByteArray> readUtf8(const QString& folder, const QString& relative);
    std::optional<QJsonObject> readJsonObject(const QString& folder, const QString& relative);
    // The folder's entry names. Once a folder is listed, lookups of names it does not hold
    // are answered from the listing, without asking the kernel. A folder that cannot be
    // listed has no names here, but every name is still looked up on its own.
    const QStringList& names(const QString& folder);
    // The folder's "package.json" as a JSON object, or none.
    const std::optional<QJsonObject>& packageJson(const QString& folder);

private:
    struct Folder
    {
        int fd = -1;
        std::optional<QStringList> names;
        bool listed = false; // the names come from a listing that succeeded
        QSet<QString> nameSet;
        std::optional<std::optional<QJsonObject>> package;
    };
    Folder& folder(const QString& path);
    // False when the folder cannot be opened or its listing shows that nothing is there.
    static bool mayHold(const Folder& entry, const QString& relative);

    std::map<QString, Folder> folders_; // node-based: references to entries stay valid
};
