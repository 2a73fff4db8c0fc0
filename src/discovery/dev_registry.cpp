#include "discovery/dev_registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A registry file is a few hundred bytes; anything far larger is not one.
constexpr qint64 maxEntryBytes = qint64(64) * 1024;

QString absoluteOverride(const Environment& environment, const char* name)
{
    const QString value = environment.value(QString::fromLatin1(name));
    if (value.isEmpty() || !QDir::isAbsolutePath(value))
        return {};
    return QDir::cleanPath(value);
}

QString defaultFolder(const Environment& environment)
{
    const QString home = environment.value(QStringLiteral("HOME"), QDir::homePath());
    const QString legacy = home + QStringLiteral("/.wrangler");
    if (QFileInfo(legacy).isDir())
        return QDir::cleanPath(legacy + QStringLiteral("/registry"));
    QString config = environment.value(QStringLiteral("XDG_CONFIG_HOME"));
    if (config.isEmpty())
        config = home + QStringLiteral("/.config");
    return QDir::cleanPath(config + QStringLiteral("/.wrangler/registry"));
}

DevRegistryEntry readEntry(const QFileInfo& file, const DevRegistryLimits& limits,
                           const QDateTime& now)
{
    DevRegistryEntry entry;
    entry.workerName = file.fileName();
    entry.modified = file.lastModified().toUTC();
    QFile input(file.filePath());
    if (file.size() <= maxEntryBytes && input.open(QIODevice::ReadOnly)) {
        const QJsonObject object = QJsonDocument::fromJson(input.read(maxEntryBytes)).object();
        entry.debugAddress = object.value(QStringLiteral("debugPortAddress")).toString();
        for (const QJsonValue queue : object.value(QStringLiteral("queueConsumers")).toArray())
            if (queue.isString())
                entry.queueConsumers.append(queue.toString());
    }
    const bool fresh = entry.modified.secsTo(now) <= limits.staleAfter.count();
    entry.live = fresh && !entry.debugAddress.isEmpty() &&
                 loopbackPortAccepts(entry.debugAddress, limits.probeTimeout);
    return entry;
}

// Splits "HOST:PORT" or "[HOST]:PORT"; the port is 0 when missing or out of range.
std::pair<QString, int> splitAddress(const QString& address)
{
    const qsizetype colon = address.lastIndexOf(u':');
    if (colon <= 0)
        return {{}, 0};
    QString host = address.left(colon);
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const int port = address.mid(colon + 1).toInt(&ok);
    return {host, ok && port > 0 && port <= 65535 ? port : 0};
}

} // namespace

QStringList devRegistryFolders(const Environment& environment)
{
    const QString fallback = defaultFolder(environment);
    QString wrangler = absoluteOverride(environment, "WRANGLER_REGISTRY_PATH");
    QString miniflare = absoluteOverride(environment, "MINIFLARE_REGISTRY_PATH");
    QStringList folders{wrangler.isEmpty() ? fallback : wrangler};
    if (const QString other = miniflare.isEmpty() ? fallback : miniflare; other != folders.first())
        folders.append(other);
    return folders;
}

bool isDevRegistryWorkerName(const QString& fileName)
{
    return !fileName.isEmpty() && !fileName.startsWith(u'.') &&
           !fileName.startsWith(QLatin1StringView("__miniflare_storage_candidate__"));
}

QList<DevRegistryEntry> readDevRegistry(const QStringList& folders, const DevRegistryLimits& limits)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QList<DevRegistryEntry> entries;
    for (const QString& folder : folders) {
        const QFileInfoList files =
            QDir(folder).entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo& file : files) {
            if (!isDevRegistryWorkerName(file.fileName()))
                continue;
            DevRegistryEntry entry = readEntry(file, limits, now);
            const auto same = std::find_if(entries.begin(), entries.end(), [&](const auto& known) {
                return known.workerName == entry.workerName;
            });
            if (same == entries.end())
                entries.append(std::move(entry));
            else if (std::pair(entry.live, entry.modified) > std::pair(same->live, same->modified))
                *same = std::move(entry);
        }
    }
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.workerName < b.workerName; });
    return entries;
}

bool loopbackPortAccepts(const QString& address, std::chrono::milliseconds timeout)
{
    const auto [host, port] = splitAddress(address);
    if (port == 0)
        return false;
    sockaddr_storage storage{};
    socklen_t length = 0;
    if (host == u"127.0.0.1" || host == u"localhost") {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
        v4->sin_family = AF_INET;
        v4->sin_port = htons(uint16_t(port));
        v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        length = sizeof(sockaddr_in);
    } else if (host == u"::1") {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(uint16_t(port));
        v6->sin6_addr = in6addr_loopback;
        length = sizeof(sockaddr_in6);
    } else {
        return false;
    }
    const int fd = ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    bool accepted = ::connect(fd, reinterpret_cast<sockaddr*>(&storage), length) == 0;
    if (!accepted && errno == EINPROGRESS) {
        pollfd waiting{fd, POLLOUT, 0};
        int error = 0;
        socklen_t size = sizeof error;
        accepted = ::poll(&waiting, 1, int(timeout.count())) == 1 &&
                   ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
    }
    ::close(fd);
    return accepted;
}

const DevRegistryEntry* findDevRegistryEntry(const QList<DevRegistryEntry>& entries,
                                             const QString& workerName)
{
    for (const DevRegistryEntry& entry : entries)
        if (entry.workerName == workerName)
            return &entry;
    return nullptr;
}
