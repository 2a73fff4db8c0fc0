#include "ui/tray/tray_icon.h"

#include "ui/about/product.h"
#include "ui/theme/system_color_scheme.h"
#include "ui/widgets/lucide.h"

#include <QMenu>
#include <QSystemTrayIcon>

#include <utility>

TrayIcon::TrayIcon(UiContext& ui, SystemColorScheme* panelScheme, TrayMenu::Hooks hooks,
                   QObject* parent)
    : QObject(parent), showMainWindow_(hooks.showMainWindow),
      menu_(new TrayMenu(ui, std::move(hooks), this)), panelScheme_(panelScheme)
{}

void TrayIcon::install()
{
    if (item_)
        return;
    item_ = new QSystemTrayIcon(this);
    const Scheme panel = panelScheme_ ? panelScheme_->scheme() : Scheme::light;
    item_->setIcon(glyph(panel));
    item_->setToolTip(Product::name);
    item_->setContextMenu(menu_->menu());
    if (panelScheme_)
        connect(panelScheme_, &SystemColorScheme::schemeChanged, item_,
                [item = item_](Scheme scheme) { item->setIcon(glyph(scheme)); });
    // A panel's left click (Activate), double click or middle click (SecondaryActivate) opens
    // the window; the context menu and scrolling are the panel's own business.
    connect(item_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                const bool opens = reason == QSystemTrayIcon::Trigger ||
                                   reason == QSystemTrayIcon::DoubleClick ||
                                   reason == QSystemTrayIcon::MiddleClick;
                if (opens && showMainWindow_)
                    showMainWindow_();
            });
    item_->show();
}

TrayIcon::~TrayIcon()
{
    // The item goes before its menu, so that the tray never shows a dangling menu.
    delete item_;
}

QIcon TrayIcon::glyph(Scheme panel)
{
    const QColor ink = panel == Scheme::dark ? QColor(0xF9, 0xFA, 0xFB) : QColor(0x11, 0x18, 0x27);
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(Lucide::pixmap(QStringLiteral("cloud"), ink, size));
    return icon;
}
