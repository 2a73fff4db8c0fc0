#pragma once

#include "base/environment.h"
#include "desktop/login_item.h"

#include <QString>

// Starting at login through an XDG autostart entry, "tallowmere.desktop" in the autostart
// folder. Its command is the executable with "--autostart", which starts the application
// quietly in the tray. Enabled exactly when the file exists.
class AutostartEntry : public LoginItem
{
public:
    AutostartEntry(QString folder, QString executable);

    // $XDG_CONFIG_HOME/autostart, else $HOME/.config/autostart.
    static QString defaultFolder(const Environment& environment);

    QString filePath() const;
    // The whole entry as written.
    QByteArray contents() const;

    LoginItemStatus status() const override;
    std::optional<QString> enable() override;
    std::optional<QString> disable() override;

private:
    QString folder_;
    QString executable_;
};

// One argument of a desktop entry's Exec key: quoted when it contains a reserved character,
// with the characters special inside the quotes escaped, and "%" doubled.
QString desktopEntryArgument(const QString& argument);
