#pragma once

#include "ui/tray/tray_menu_content.h"
#include "ui/widgets/coalesced_call.h"

#include <QObject>
#include <QPointer>

#include <functional>

class QMenu;
struct UiContext;

// The tray item's menu: the projects in the sidebar's groups, each a submenu, then
// "Show Main Window", "Stop All", "Rescan Folders" and "Quit Tallowmere". Rebuilt from the
// model whenever what it shows changes (after the change, from the event loop, so that an entry
// is never deleted while it is being triggered). No entry is ever disabled.
class TrayMenu : public QObject
{
    Q_OBJECT

public:
    struct Hooks
    {
        std::function<void()> showMainWindow; // opens the main window and brings it to the front
        std::function<void()> quit;           // quits through the confirmation
    };

    TrayMenu(UiContext& ui, Hooks hooks, QObject* parent = nullptr);
    ~TrayMenu() override;

    QMenu* menu() const { return menu_; }
    const TrayMenuContent& content() const { return content_; }

signals:
    // The menu has been rebuilt with new content.
    void rebuilt();

private:
    void scheduleRebuild();
    void rebuild();
    void watchRuntimes();
    void addProjectMenu(const TrayProjectEntry& entry);
    void openOnAddress(const QString& path, const QString& suffix);

    UiContext& ui_;
    Hooks hooks_;
    QMenu* menu_;
    TrayMenuContent content_;
    bool built_ = false;
    CoalescedCall rebuildLater_{this, [this] { rebuild(); }};
    // Connections to the run states shown, replaced on every rebuild.
    QPointer<QObject> runtimeWatch_;
};
