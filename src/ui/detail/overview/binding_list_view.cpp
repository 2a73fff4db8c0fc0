#include "ui/detail/overview/binding_list_view.h"

#include "ui/detail/overview/binding_menu.h"
#include "ui/detail/overview/elided_label.h"
#include "ui/detail/overview/overview_style.h"
#include "ui/theme/status_display.h"
#include "ui/theme/theme.h"
#include "ui/theme/theme_binder.h"
#include "ui/theme/type_scale.h"
#include "ui/ui_context.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/icon_view.h"
#include "ui/widgets/status_dot.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QVBoxLayout>

namespace {

// The still status dot of a linked local project.
class ServiceDot : public QWidget
{
public:
    explicit ServiceDot(QWidget* parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("localServiceDot"));
        setFixedSize(12, 12);
    }
    void setDisplay(const StatusDisplay& display)
    {
        display_ = display;
        display_.pulses = false;
        setAccessibleName(display.accessibilityLabel);
        update();
    }
    const StatusDisplay& display() const { return display_; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        paintStatusDot(painter, QRectF(rect()).center(), display_, 7, 0);
    }

private:
    StatusDisplay display_;
};

} // namespace

BindingListView::BindingListView(UiContext& ui, StatusOf statusOf, QWidget* parent)
    : QWidget(parent), ui_(ui), statusOf_(std::move(statusOf)), layout_(new QVBoxLayout(this))
{
    setObjectName(QStringLiteral("bindingList"));
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
}

void BindingListView::setItems(const QList<BindingItem>& items)
{
    if (built_ && items == items_)
        return;
    built_ = true;
    items_ = items;
    while (QLayoutItem* item = layout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (int i = 0; i < items_.size(); ++i)
        layout_->addWidget(row(i));
    refreshStatuses();
}

QWidget* BindingListView::row(int index)
{
    const BindingItem& item = items_[index];
    Theme& theme = ui_.theme;
    auto* row = new QFrame(this);
    row->setObjectName(QStringLiteral("bindingRow"));
    row->setProperty("itemID", item.id);
    const bool last = index == items_.size() - 1;
    ThemeBinder::bind(row, theme, [row, last](const Palette& p) {
        row->setStyleSheet(
            QStringLiteral("#bindingRow { border: none; border-bottom: %1; }")
                .arg(last ? QStringLiteral("none")
                          : QStringLiteral("1px solid ") + OverviewStyle::css(p.border)));
    });
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(12, 8, 6, 8);
    layout->setSpacing(10);

    auto* icon = new IconView(item.icon, 16, row);
    icon->setObjectName(QStringLiteral("bindingIcon"));
    ThemeBinder::bind(icon, theme, [icon, item](const Palette& p) {
        icon->setColor(OverviewStyle::itemColor(item, p));
    });
    layout->addWidget(icon);
    auto* title = new QLabel(item.title, row);
    title->setObjectName(QStringLiteral("bindingTitle"));
    title->setFont(TypeScale::bodyMedium());
    ThemeBinder::bindTextColor(title, theme, &Palette::primaryText);
    layout->addWidget(title);
    auto* subtitle = new ElidedLabel(item.subtitle.value_or(QString()), row);
    subtitle->setObjectName(QStringLiteral("bindingSubtitle"));
    subtitle->setFont(TypeScale::caption());
    ThemeBinder::bindTextColor(subtitle, theme, &Palette::secondaryText);
    layout->addWidget(subtitle, 1);
    if (item.localService) {
        auto* dot = new ServiceDot(row);
        dot->setProperty("projectID", item.localService->projectID);
        layout->addWidget(dot);
    }
    if (item.connected) {
        auto* connection = new QLabel(OverviewStyle::connectionText(item), row);
        connection->setObjectName(QStringLiteral("bindingConnection"));
        connection->setFont(TypeScale::caption());
        ThemeBinder::bind(connection, theme, [connection, item](const Palette& p) {
            QPalette colours = connection->palette();
            colours.setColor(QPalette::WindowText, OverviewStyle::connectionColor(item, p));
            connection->setPalette(colours);
        });
        layout->addWidget(connection);
    }
    auto* tag = new QLabel(item.tag, row);
    tag->setObjectName(QStringLiteral("bindingTag"));
    tag->setFont(TypeScale::caption());
    ThemeBinder::bindTextColor(tag, theme, &Palette::tertiaryText);
    layout->addWidget(tag);

    auto* actions = new IconButton(QStringLiteral("ellipsis-vertical"), 24, 14, row);
    actions->setObjectName(QStringLiteral("bindingActions"));
    actions->setToolTip(QStringLiteral("Actions"));
    ThemeBinder::bind(actions, theme, [actions](const Palette& p) { actions->applyPalette(p); });
    auto* menu = new QMenu(actions);
    menu->setObjectName(QStringLiteral("bindingMenu"));
    actions->setMenu(menu);
    actions->setPopupMode(QToolButton::InstantPopup);
    UiContext* ui = &ui_;
    connect(menu, &QMenu::aboutToShow, menu,
            [menu, ui, item] { fillBindingMenu(*menu, *ui, item); });
    layout->addWidget(actions);
    return row;
}

void BindingListView::refreshStatuses()
{
    for (ServiceDot* dot : findChildren<ServiceDot*>(QStringLiteral("localServiceDot")))
        dot->setDisplay(statusOf_(dot->property("projectID").toString()));
}
