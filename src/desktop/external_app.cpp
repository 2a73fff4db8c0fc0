#include "desktop/external_app.h"

namespace {

CatalogueEntry entry(const char* id, const char* name, std::initializer_list<const char*> programs)
{
    CatalogueEntry result{QString::fromLatin1(id), QString::fromLatin1(name), {}};
    for (const char* program : programs)
        result.executables.append(QString::fromLatin1(program));
    return result;
}

} // namespace

const QList<CatalogueEntry>& terminalCatalogue()
{
    // "Terminal" is whatever terminal the desktop provides; the Debian alternative comes first
    // because it is the one the user (or the distribution) chose.
    static const QList<CatalogueEntry> entries{
        entry(
            "com.apple.Terminal", "Terminal",
            {"x-terminal-emulator", "gnome-terminal", "konsole", "xfce4-terminal", "kgx", "xterm"}),
        entry("com.googlecode.iterm2", "iTerm", {}),
        entry("com.mitchellh.ghostty", "Ghostty", {"ghostty"}),
        entry("dev.warp.Warp-Stable", "Warp", {"warp-terminal"}),
        entry("com.github.wez.wezterm", "WezTerm", {"wezterm"}),
        entry("net.kovidgoyal.kitty", "kitty", {"kitty"}),
        entry("org.alacritty", "Alacritty", {"alacritty"}),
    };
    return entries;
}

const QList<CatalogueEntry>& editorCatalogue()
{
    static const QList<CatalogueEntry> entries{
        entry("com.microsoft.VSCode", "Visual Studio Code", {"code"}),
        entry("com.todesktop.230313mzl4w4u92", "Cursor", {"cursor"}),
        entry("com.exafunction.windsurf", "Windsurf", {"windsurf"}),
        entry("dev.zed.Zed", "Zed", {"zed", "zeditor"}),
        entry("com.sublimetext.4", "Sublime Text", {"subl"}),
        entry("com.jetbrains.WebStorm", "WebStorm", {"webstorm"}),
        entry("com.apple.dt.Xcode", "Xcode", {}),
    };
    return entries;
}

const QList<CatalogueEntry>& catalogue(AppKind kind)
{
    return kind == AppKind::terminal ? terminalCatalogue() : editorCatalogue();
}
