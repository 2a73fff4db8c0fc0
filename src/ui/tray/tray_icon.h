#pragma once

#include "ui/theme/palette.h"
#include "ui/tray/tray_menu.h"

#include <QIcon>
#include <QObject>

#include <functional>

class QSystemTrayIcon;
class SystemColorScheme;

// The application's item in the system tray with its menu. The icon is a monochrome glyph,
// the same in every state, light on a dark panel and dark on a light one (the panel is taken to
// follow the desktop's colour scheme). Activating the item opens the main window.
class TrayIcon : public QObject
{
    Q_OBJECT

public:
    TrayIcon(UiContext& ui, SystemColorScheme* panelScheme, TrayMenu::Hooks hooks,
             QObject* parent = nullptr);
    ~TrayIcon() override;

    // Puts the item in the tray, once the desktop offers one (TrayWatch): Qt picks the kind of
    // tray when the first item is created. Until then the menu exists without an item.
    void install();
    bool isInstalled() const { return item_ != nullptr; }
    // Null until installed.
    QSystemTrayIcon* item() const { return item_; }
    TrayMenu* menu() const { return menu_; }

    // The glyph for a panel of `panel`'s scheme, at the usual panel sizes.
    static QIcon glyph(Scheme panel);

private:
    // Taken before the hooks move into the menu: activating the item opens the main window.
    std::function<void()> showMainWindow_;
    TrayMenu* menu_;
    SystemColorScheme* panelScheme_;
    QSystemTrayIcon* item_ = nullptr;
};
