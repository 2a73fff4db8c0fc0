#include "support/wrangler_install.h"

#include "support/npm_install.h"

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

} // namespace WranglerInstall
