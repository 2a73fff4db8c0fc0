#include "desktop/folder_launch.h"

#include <QFileInfo>

namespace {

// The options with which a known terminal opens in a folder; none for those that simply use
// their working folder (xterm, warp-terminal, and x-terminal-emulator, which may be any of them).
QStringList terminalFolderArguments(const QString& executable, const QString& folder)
{
    const QString program = QFileInfo(executable).fileName();
    if (program == u"gnome-terminal" || program == u"xfce4-terminal" || program == u"kgx" ||
        program == u"ghostty")
        return {QStringLiteral("--working-directory=") + folder};
    if (program == u"konsole")
        return {QStringLiteral("--workdir"), folder};
    if (program == u"wezterm")
        return {QStringLiteral("start"), QStringLiteral("--cwd"), folder};
    if (program == u"kitty")
        return {QStringLiteral("--directory"), folder};
    if (program == u"alacritty")
        return {QStringLiteral("--working-directory"), folder};
    return {};
}

} // namespace

LaunchRequest terminalLaunch(const ExternalApp& terminal, const QString& folder)
{
    return {terminal.url, terminalFolderArguments(terminal.url, folder), folder};
}

LaunchRequest editorLaunch(const ExternalApp& editor, const QString& folder, const QString& target)
{
    return {editor.url, {target}, folder};
}

std::optional<LaunchRequest> customEditorLaunch(const QString& command, const QString& folder,
                                                const QString& target,
                                                const QMap<QString, QString>& environment)
{
    const QString trimmed = command.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    return LaunchRequest{QStringLiteral("/bin/sh"),
                         {QStringLiteral("-c"), trimmed + u' ' + shellDoubleQuoted(target)},
                         folder,
                         environment};
}
