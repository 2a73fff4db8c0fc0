#include "desktop/autostart_entry.h"

#include "base/product_name.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

AutostartEntry::AutostartEntry(QString folder, QString executable)
    : folder_(std::move(folder)), executable_(std::move(executable))
{}

QString AutostartEntry::defaultFolder(const Environment& environment)
{
    const QString config = environment.value(QStringLiteral("XDG_CONFIG_HOME"));
    // The base directory specification ignores a relative value.
    if (config.startsWith(u'/'))
        return config + QStringLiteral("/autostart");
    const QString home = environment.value(QStringLiteral("HOME"), QDir::homePath());
    return home + QStringLiteral("/.config/autostart");
}

QString AutostartEntry::filePath() const
{
    return folder_ + QStringLiteral("/tallowmere.desktop");
}

QByteArray AutostartEntry::contents() const
{
    // The Exec value is itself a string value: its backslashes are escaped once more.
    QString exec = desktopEntryArgument(executable_) + QStringLiteral(" --autostart");
    exec.replace(u'\\', QStringLiteral("\\\\"));
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=%1\n"
                                         "Comment=Starts %1 quietly in the system tray\n"
                                         "Exec=%2\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(Product::name, exec);
    return entry.toUtf8();
}

LoginItemStatus AutostartEntry::status() const
{
    return QFileInfo::exists(filePath()) ? LoginItemStatus::enabled
                                         : LoginItemStatus::notRegistered;
}

std::optional<QString> AutostartEntry::enable()
{
    if (!QDir().mkpath(folder_))
        return QStringLiteral("Could not create the folder %1").arg(folder_);
    QSaveFile file(filePath());
    if (!file.open(QIODevice::WriteOnly) || file.write(contents()) < 0 || !file.commit())
        return file.errorString();
    return std::nullopt;
}

std::optional<QString> AutostartEntry::disable()
{
    QFile file(filePath());
    if (!file.exists() || file.remove())
        return std::nullopt;
    return file.errorString();
}

QString desktopEntryArgument(const QString& argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString escaped = argument;
    escaped.replace(u'%', QStringLiteral("%%"));
    const bool needsQuotes =
        escaped.isEmpty() ||
        std::any_of(escaped.cbegin(), escaped.cend(), [](QChar c) { return reserved.contains(c); });
    if (!needsQuotes)
        return escaped;
    QString quoted;
    for (const QChar c : escaped) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    return u'"' + quoted + u'"';
}
