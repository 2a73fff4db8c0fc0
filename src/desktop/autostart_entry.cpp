#include "desktop/autostart_entry.h"

#include "base/product_name.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

AutostartEntry::AutostartEntry(QString autostartFolder) : folder_(std::move(autostartFolder)) {}

AutostartEntry AutostartEntry::forEnvironment(const Environment& environment)
{
    QString config = environment.value(QStringLiteral("XDG_CONFIG_HOME"));
    // The XDG base directory rules ignore a relative value.
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = environment.value(QStringLiteral("HOME"), QDir::homePath()) +
                 QStringLiteral("/.config");
    return AutostartEntry(config + QStringLiteral("/autostart"));
}

QString AutostartEntry::filePath() const
{
    return folder_ + QStringLiteral("/tallowmere.desktop");
}

bool AutostartEntry::isEnabled() const
{
    return QFileInfo(filePath()).isFile();
}

std::optional<QString> AutostartEntry::enable(const QString& executable) const
{
    if (!QDir().mkpath(folder_))
        return QStringLiteral("cannot create the folder ") + folder_;
    QSaveFile file(filePath());
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    file.write(autostartEntryText(executable).toUtf8());
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

std::optional<QString> AutostartEntry::disable() const
{
    QFile file(filePath());
    if (!file.exists() || file.remove())
        return std::nullopt;
    return file.errorString();
}

QString autostartEntryText(const QString& executable)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=") +
           Product::name +
           QStringLiteral("\n"
                          "Comment=Starts quietly in the system tray\n"
                          "Exec=") +
           desktopExecArgument(executable) +
           QStringLiteral(" --autostart\n"
                          "Icon=tallowmere\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n");
}

QString desktopExecArgument(const QString& argument)
{
    // Field codes start with "%": a literal one is doubled, quoted or not.
    QString text = argument;
    text.replace(u'%', QStringLiteral("%%"));
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`=");
    const bool needsQuotes = text.isEmpty() || std::any_of(text.cbegin(), text.cend(), [](QChar c) {
                                 return reserved.contains(c);
                             });
    if (needsQuotes) {
        // Inside quotes, ", `, $ and \ take a backslash.
        QString quoted;
        for (const QChar c : std::as_const(text)) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                quoted += u'\\';
            quoted += c;
        }
        text = u'"' + quoted + u'"';
    }
    // The key's value is a string: its own escapes apply on top of the quoting rules.
    text.replace(u'\\', QStringLiteral("\\\\"));
    text.replace(u'\n', QStringLiteral("\\n"));
    text.replace(u'\t', QStringLiteral("\\t"));
    return text;
}
