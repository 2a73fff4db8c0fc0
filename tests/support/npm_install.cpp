#include "support/npm_install.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>

namespace NpmInstall {

namespace {

// The installed package's own version, or empty when the folder holds no complete install.
QString installedVersion(const QString& folder, const QString& package, const QString& requiredFile)
{
    QFile manifest(folder + QStringLiteral("/node_modules/") + package +
                   QStringLiteral("/package.json"));
    if (!manifest.open(QIODevice::ReadOnly) ||
        (!requiredFile.isEmpty() &&
         !QFileInfo::exists(folder + QStringLiteral("/node_modules/") + requiredFile)))
        return {};
    return QJsonDocument::fromJson(manifest.readAll())
        .object()
        .value(QStringLiteral("version"))
        .toString();
}

// The first lines of npm's complaint: they name the error code and the address it tried.
QString firstLines(const QByteArray& output, int count)
{
    return QString::fromUtf8(output).trimmed().split(u'\n').mid(0, count).join(
        QStringLiteral(" | "));
}

// Installs into a fresh folder beside the cache folder and renames it into place, so that an
// interrupted install never looks complete.
Result install(const QString& target, const QString& package, const QString& version,
               const QString& requiredFile)
{
    const QString npm = QStandardPaths::findExecutable(QStringLiteral("npm"));
    if (npm.isEmpty())
        return {{}, QStringLiteral("npm is not installed")};
    const QString staging = target + QStringLiteral(".partial");
    QDir(staging).removeRecursively();
    QDir().mkpath(staging);

    QProcess process;
    process.setWorkingDirectory(staging);
    process.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("npm_config_update_notifier"), QStringLiteral("false"));
    environment.insert(QStringLiteral("npm_config_fund"), QStringLiteral("false"));
    environment.insert(QStringLiteral("npm_config_audit"), QStringLiteral("false"));
    process.setProcessEnvironment(environment);
    process.start(npm, {QStringLiteral("install"), QStringLiteral("--no-package-lock"),
                        QStringLiteral("--no-save"), QStringLiteral("--loglevel=error"),
                        package + u'@' + version});
    if (!process.waitForStarted(30000))
        return {{}, QStringLiteral("npm could not be started")};
    if (!process.waitForFinished(10 * 60 * 1000)) {
        process.kill();
        process.waitForFinished(10000);
        return {{}, QStringLiteral("npm install did not finish within ten minutes")};
    }
    const QByteArray output = process.readAll();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        QDir(staging).removeRecursively();
        return {{},
                QStringLiteral("npm install %1@%2 failed (registry unreachable?): %3")
                    .arg(package, version, firstLines(output, 3))};
    }
    if (installedVersion(staging, package, requiredFile) != version)
        return {{},
                QStringLiteral("npm install finished but left no %1 %2 in %3")
                    .arg(package, version, staging)};
    QDir(target).removeRecursively();
    if (!QDir().rename(staging, target))
        return {{}, QStringLiteral("could not move %1 to %2").arg(staging, target)};
    return {target, {}};
}

} // namespace

QString cacheFolder(const QString& folderName)
{
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.cache");
    return base + QStringLiteral("/tallowmere-tests/") + folderName;
}

Result ensureInstalled(const QString& package, const QString& version, const QString& folderName,
                       const QString& requiredFile)
{
    const QString target = cacheFolder(folderName);
    if (installedVersion(target, package, requiredFile) == version)
        return {target, {}};
    QDir().mkpath(QFileInfo(target).absolutePath());
    QLockFile lock(target + QStringLiteral(".lock"));
    lock.setStaleLockTime(0); // a lock left by a killed process is detected by its pid
    if (!lock.tryLock(15 * 60 * 1000))
        return {{}, QStringLiteral("another test process holds %1.lock").arg(target)};
    // Another process may have finished the install while this one waited.
    if (installedVersion(target, package, requiredFile) == version)
        return {target, {}};
    return install(target, package, version, requiredFile);
}

} // namespace NpmInstall
