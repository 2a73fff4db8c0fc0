#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A temporary folder for one test, removed with everything in it when the test ends.
class TempFolder
{
public:
    TempFolder();

    QString path() const { return dir_.path(); }
    // Absolute path of a file or folder inside the temporary folder.
    QString filePath(const QString& relative) const { return dir_.filePath(relative); }
    // Writes a file (creating parent folders); returns its absolute path.
    QString write(const QString& relative, const QByteArray& content) const;
    // Writes an executable shell script (creating parent folders); returns its absolute path.
    QString writeScript(const QString& relative, const QByteArray& body) const;
    QString makeDir(const QString& relative) const;

private:
    QTemporaryDir dir_;
};

QByteArray readWholeFile(const QString& path);
