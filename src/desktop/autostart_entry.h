#pragma once

#include "base/environment.h"

#include <QString>

#include <optional>

// Launch at login through an XDG autostart entry: "tallowmere.desktop" in the autostart folder
// of the user's configuration ($XDG_CONFIG_HOME/autostart, default ~/.config/autostart). The
// entry starts the executable with --autostart, which opens no window. Enabled means the file
// exists; there is no state in between.
class AutostartEntry
{
public:
    explicit AutostartEntry(QString autostartFolder);
    // The folder the desktop reads for this environment (XDG_CONFIG_HOME, else HOME/.config).
    static AutostartEntry forEnvironment(const Environment& environment);

    QString filePath() const;
    bool isEnabled() const;
    // Writes the entry atomically (creating the folder); returns why it failed, if it did.
    std::optional<QString> enable(const QString& executable) const;
    // Removes the entry; nothing to do when it does not exist. Returns why it failed, if it did.
    std::optional<QString> disable() const;

private:
    QString folder_;
};

// The text of the entry that starts `executable` (an absolute path) with --autostart.
QString autostartEntryText(const QString& executable);

// One argument of a desktop entry's Exec key: quoted and escaped when it needs it, with the
// escapes of the key's string value on top.
QString desktopExecArgument(const QString& argument);
