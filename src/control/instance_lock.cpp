#include "control/instance_lock.h"

#include "base/paths.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

InstanceAddress InstanceAddress::forSupportFolder(const QString& supportFolder)
{
    const QString folder = standardizePath(supportFolder);
    const QByteArray digest =
        QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    // The runtime location is $XDG_RUNTIME_DIR when that is set and owned by the user; Qt
    // falls back to a private folder of its own otherwise.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return {joinPath(folder, QStringLiteral("instance.lock")),
            joinPath(runtime, QStringLiteral("tallowmere-") + QString::fromLatin1(digest) +
                                  QStringLiteral(".sock"))};
}

bool launchClaimsInstance(const QMap<QString, QString>& environment)
{
    if (environment.contains(QStringLiteral("TALLOWMERE_DEMO")) ||
        environment.contains(QStringLiteral("XCTestConfigurationFilePath")))
        return false;
    for (auto it = environment.keyBegin(); it != environment.keyEnd(); ++it)
        if (it->startsWith(QStringLiteral("TALLOWMERE_DEBUG_")))
            return false;
    return true;
}

InstanceLock::InstanceLock(const QString& lockFile) : lock_(std::make_unique<QLockFile>(lockFile))
{
    // Only a dead holder makes the lock stale, never its age: an instance runs for weeks.
    lock_->setStaleLockTime(0);
}

InstanceLock::~InstanceLock() = default;

InstanceLock::Outcome InstanceLock::tryAcquire()
{
    QDir().mkpath(QFileInfo(lock_->fileName()).absolutePath());
    if (lock_->tryLock(0))
        return Outcome::acquired;
    return lock_->error() == QLockFile::LockFailedError ? Outcome::heldElsewhere : Outcome::failed;
}

std::optional<qint64> InstanceLock::holder() const
{
    qint64 pid = 0;
    QString host;
    QString application;
    if (lock_->getLockInfo(&pid, &host, &application))
        return pid;
    return std::nullopt;
}
