#include "desktop/app_resolution.h"

#include <QFileInfo>

QString appNameFromPath(const QString& path)
{
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(u'/'))
        trimmed.chop(1);
    const QFileInfo info(trimmed);
    const QString name = info.completeBaseName();
    // A name that is only an extension (".local") keeps its whole last component.
    return name.isEmpty() ? info.fileName() : name;
}

std::optional<ExternalApp> resolveApp(const QString& selection, const QList<ExternalApp>& installed)
{
    if (!selection.isEmpty()) {
        for (const ExternalApp& app : installed) {
            if (app.id == selection)
                return app;
        }
        if (selection.startsWith(u'/') && QFileInfo::exists(selection))
            return ExternalApp{selection, appNameFromPath(selection), selection};
    }
    if (installed.isEmpty())
        return std::nullopt;
    return installed.first();
}
