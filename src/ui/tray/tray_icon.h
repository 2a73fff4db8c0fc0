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

    // Whether the desktop offers a tray (read when the item was created). Without one the item
    // is never shown.
    bool isAvailable() const { return available_; }
    QSystemTrayIcon* item() const { return item_; }
    TrayMenu* menu() const { return menu_; }

    // The glyph for a panel of `panel`'s scheme, at the usual panel sizes.
    static QIcon glyph(Scheme panel);

private:
    // Taken before the hooks move into the menu: activating the item opens the main window.
    std::function<void()> showMainWindow_;
    TrayMenu* menu_;
    QSystemTrayIcon* item_;
    bool available_;
};
