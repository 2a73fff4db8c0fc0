#include "discovery/folder_cache.h"

#include <QFile>

#include <unistd.h>

FolderCache::~FolderCache()
{
    for (const auto& [path, entry] : folders_)
        if (entry.fd >= 0)
            ::close(entry.fd);
}

FolderCache::Folder& FolderCache::folder(const QString& path)
{
    auto it = folders_.find(path);
    if (it == folders_.end()) {
        Folder entry;
        // O_PATH: a handle for lookups only; it needs no read permission on the folder.
        entry.fd = ::open(QFile::encodeName(path).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        it = folders_.emplace(path, std::move(entry)).first;
    }
    return it->second;
}

bool FolderCache::mayHold(const Folder& entry, const QString& relative)
{
    if (entry.fd < 0)
        return false;
    if (!entry.listed)
        return true;
    const qsizetype slash = relative.indexOf(u'/');
    return entry.nameSet.contains(slash < 0 ? relative : relative.left(slash));
}

bool FolderCache::exists(const QString& path, const QString& relative)
{
    const Folder& entry = folder(path);
    return mayHold(entry, relative) && file_probe::existsAt(entry.fd, QFile::encodeName(relative));
}

file_probe::ReadResult FolderCache::read(const QString& path, const QString& relative)
{
    const Folder& entry = folder(path);
    if (entry.fd < 0) // say why, as opening the file by its whole path would
        return file_probe::readFileAt(AT_FDCWD, QFile::encodeName(path + u'/' + relative));
    return file_probe::readFileAt(entry.fd, QFile::encodeName(relative));
}

std::optional<QByteArray> FolderCache::readUtf8(const QString& path, const QString& relative)
{
    if (!mayHold(folder(path), relative))
        return std::nullopt;
    file_probe::ReadResult result = read(path, relative);
    if (result.error || !file_probe::isValidUtf8(result.bytes))
        return std::nullopt;
    return std::move(result.bytes);
}

std::optional<QJsonObject> FolderCache::readJsonObject(const QString& path, const QString& relative)
{
    if (!mayHold(folder(path), relative))
        return std::nullopt;
    const file_probe::ReadResult result = read(path, relative);
    if (result.error)
        return std::nullopt;
    return file_probe::jsonObject(result.bytes);
}

const QStringList& FolderCache::names(const QString& path)
{
    Folder& entry = folder(path);
    if (!entry.names) {
        const std::optional<QStringList> listing =
            entry.fd >= 0 ? file_probe::listNamesAt(entry.fd, ".") : std::nullopt;
        entry.listed = listing.has_value();
        entry.names = listing.value_or(QStringList());
        entry.nameSet = QSet<QString>(entry.names->cbegin(), entry.names->cend());
    }
    return *entry.names;
}

const std::optional<QJsonObject>& FolderCache::packageJson(const QString& path)
{
    Folder& entry = folder(path);
    if (!entry.package)
        entry.package = readJsonObject(path, QStringLiteral("package.json"));
    return *entry.package;
}
