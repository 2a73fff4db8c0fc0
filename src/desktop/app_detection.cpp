#include "desktop/app_detection.h"

#include <QDir>
#include <QFileInfo>

QStringList executableSearchFolders(const QMap<QString, QString>& environment)
{
    QStringList folders;
    const auto add = [&folders](const QString& folder) {
        // Relative PATH components (".", "bin") would depend on the working folder: skipped.
        if (folder.startsWith(u'/') && !folders.contains(QDir::cleanPath(folder)))
            folders.append(QDir::cleanPath(folder));
    };
    for (const QString& folder : environment.value(QStringLiteral("PATH")).split(u':'))
        add(folder);
    const QString home = environment.value(QStringLiteral("HOME"));
    if (!home.isEmpty())
        add(home + QStringLiteral("/.local/bin"));
    for (const char* folder : {"/usr/local/bin", "/usr/bin", "/bin", "/snap/bin"})
        add(QString::fromLatin1(folder));
    return folders;
}

QString findExecutable(const QStringList& names, const QStringList& folders)
{
    for (const QString& name : names) {
        for (const QString& folder : folders) {
            const QFileInfo candidate(folder + u'/' + name);
            if (candidate.isFile() && candidate.isExecutable())
                return candidate.filePath();
        }
    }
    return {};
}

QList<ExternalApp> detectInstalled(const QList<CatalogueEntry>& entries, const QStringList& folders)
{
    QList<ExternalApp> installed;
    for (const CatalogueEntry& entry : entries) {
        const QString executable = findExecutable(entry.executables, folders);
        if (!executable.isEmpty())
            installed.append({entry.id, entry.name, executable});
    }
    return installed;
}

QList<ExternalApp> installedTerminals(const QMap<QString, QString>& environment)
{
    return detectInstalled(terminalCatalogue(), executableSearchFolders(environment));
}

QList<ExternalApp> installedEditors(const QMap<QString, QString>& environment)
{
    return detectInstalled(editorCatalogue(), executableSearchFolders(environment));
}
