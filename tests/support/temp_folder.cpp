#include "support/temp_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TempFolder::TempFolder() : dir_(QDir::tempPath() + QStringLiteral("/tallowmere-test-XXXXXX")) {}

QString TempFolder::write(const QString& relative, const QByteArray& content) const
{
    QString target = filePath(relative);
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile file(target);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
    return target;
}

QString TempFolder::writeScript(const QString& relative, const QByteArray& body) const
{
    QString target = write(relative, "#!/bin/sh\n" + body);
    QFile::setPermissions(target, QFile::permissions(target) | QFile::ExeOwner | QFile::ExeGroup |
                                      QFile::ExeOther);
    return target;
}

QString TempFolder::makeDir(const QString& relative) const
{
    QString target = filePath(relative);
    QDir().mkpath(target);
    return target;
}

QByteArray readWholeFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}
