#pragma once

#include "support/temp_folder.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Points TALLOWMERE_SUPPORT_DIR at a folder inside a fresh temporary folder for the lifetime of
// the object, and restores the previous value afterwards. The support folder itself does not
// exist until something is saved.
class SupportDirOverride
{
public:
    SupportDirOverride()
        : hadPrevious_(qEnvironmentVariableIsSet(name)), previous_(qgetenv(name)),
          dir_(temp_.filePath(QStringLiteral("support")))
    {
        qputenv(name, dir_.toUtf8());
    }
    ~SupportDirOverride()
    {
        if (hadPrevious_)
            qputenv(name, previous_);
        else
            qunsetenv(name);
    }
    SupportDirOverride(const SupportDirOverride&) = delete;
    SupportDirOverride& operator=(const SupportDirOverride&) = delete;

    const TempFolder& temp() const { return temp_; }
    QString dir() const { return dir_; }
    QString file(const QString& name) const { return dir_ + QLatin1Char('/') + name; }

private:
    static constexpr const char* name = "TALLOWMERE_SUPPORT_DIR";
    bool hadPrevious_;
    QByteArray previous_;
    TempFolder temp_;
    QString dir_;
};
