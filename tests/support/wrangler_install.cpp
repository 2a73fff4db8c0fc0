#include "support/wrangler_install.h"

#include "support/npm_install.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace WranglerInstall {

namespace {

const QString folderName = QStringLiteral("wrangler-") + QLatin1String(version);

} // namespace

QString cacheFolder()
{
    return NpmInstall::cacheFolder(folderName);
}

Result ensureInstalled()
{
    const NpmInstall::Result installed =
        NpmInstall::ensureInstalled(QStringLiteral("wrangler"), QLatin1String(version), folderName,
                                    QStringLiteral(".bin/wrangler"));
    return {installed.folder, installed.failure};
}

const Result& shared()
{
    static const Result result = ensureInstalled();
    return result;
}

QString placeWorker(const Result& install, const QString& fixture, const QString& folder)
{
    return placeWorker(install.nodeModules(), fixture, folder,
                       {QStringLiteral("wrangler.jsonc"), QStringLiteral("package.json"),
                        QStringLiteral("src/index.js")});
}

QString placeWorker(const QString& nodeModules, const QString& fixture, const QString& folder,
                    const QStringList& files)
{
    for (const QString& file : files) {
        const QString target = folder + u'/' + file;
        QDir().mkpath(QFileInfo(target).absolutePath());
        if (!QFile::copy(fixture + u'/' + file, target))
            return QStringLiteral("cannot copy ") + fixture + u'/' + file;
    }
    if (!QFile::link(nodeModules, folder + QStringLiteral("/node_modules")))
        return QStringLiteral("cannot link node_modules into ") + folder;
    return {};
}

QMap<QString, QString> quietEnvironment(const QString& home)
{
    return {{QStringLiteral("HOME"), home},
            {QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config")},
            {QStringLiteral("WRANGLER_SEND_METRICS"), QStringLiteral("false")},
            {QStringLiteral("CI"), QStringLiteral("true")}};
}

} // namespace WranglerInstall
