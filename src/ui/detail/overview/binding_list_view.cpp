#include "ui/detail/overview/binding_list_view.h"

#include "ui/detail/overview/binding_menu.h"
#include "ui/detail/overview/elided_label.h"
#include "ui/detail/overview/overview_style.h"
#include "ui/theme/status_display.h"
#include "ui/theme/theme.h"
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
    applyPalette();
}

QWidget* BindingListView::row(int index)
{
    const BindingItem& item = items_[index];
    auto* row = new QFrame(this);
    row->setObjectName(QStringLiteral("bindingRow"));
    row->setProperty("itemID", item.id);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(12, 8, 6, 8);
    layout->setSpacing(10);

    auto* icon = new IconView(item.icon, 16, row);
    icon->setObjectName(QStringLiteral("bindingIcon"));
    layout->addWidget(icon);
    auto* title = new QLabel(item.title, row);
    title->setObjectName(QStringLiteral("bindingTitle"));
    title->setFont(TypeScale::bodyMedium());
    layout->addWidget(title);
    auto* subtitle = new ElidedLabel(item.subtitle.value_or(QString()), row);
    subtitle->setObjectName(QStringLiteral("bindingSubtitle"));
    subtitle->setFont(TypeScale::caption());
    layout->addWidget(subtitle, 1);
    if (item.localService) {
        auto* dot = new ServiceDot(row);
        dot->setProperty("projectID", item.localService->projectID);
        layout->addWidget(dot);
    }
    auto* tag = new QLabel(item.tag, row);
    tag->setObjectName(QStringLiteral("bindingTag"));
    tag->setFont(TypeScale::caption());
    layout->addWidget(tag);

    auto* actions = new IconButton(QStringLiteral("ellipsis-vertical"), 24, 14, row);
    actions->setObjectName(QStringLiteral("bindingActions"));
    actions->setToolTip(QStringLiteral("Actions"));
    auto* menu = new QMenu(actions);
    menu->setObjectName(QStringLiteral("bindingMenu"));
    actions->setMenu(menu);
    actions->setPopupMode(QToolButton::InstantPopup);
    UiContext* ui = &ui_;
    const BindingItem copy = item;
    connect(menu, &QMenu::aboutToShow, menu,
            [menu, ui, copy] { fillBindingMenu(*menu, *ui, copy); });
    layout->addWidget(actions);
    return row;
}

void BindingListView::refreshStatuses()
{
    for (ServiceDot* dot : findChildren<ServiceDot*>(QStringLiteral("localServiceDot")))
        dot->setDisplay(statusOf_(dot->property("projectID").toString()));
}

void BindingListView::applyPalette()
{
    const Palette& p = ui_.theme.palette();
    for (QFrame* row : findChildren<QFrame*>(QStringLiteral("bindingRow"))) {
        const qsizetype index = row->parentWidget() == this ? layout_->indexOf(row) : -1;
        if (index < 0 || index >= items_.size())
            continue;
        const BindingItem& item = items_[index];
        const bool last = index == items_.size() - 1;
        row->setStyleSheet(
            QStringLiteral("#bindingRow { border: none; border-bottom: %1; }")
                .arg(last ? QStringLiteral("none")
                          : QStringLiteral("1px solid ") + OverviewStyle::css(p.border)));
        row->findChild<IconView*>(QStringLiteral("bindingIcon"))
            ->setColor(OverviewStyle::itemColor(item, p));
        OverviewStyle::setTextColor(row->findChild<QLabel*>(QStringLiteral("bindingTitle")),
                                    p.primaryText);
        OverviewStyle::setTextColor(row->findChild<QLabel*>(QStringLiteral("bindingSubtitle")),
                                    p.secondaryText);
        OverviewStyle::setTextColor(row->findChild<QLabel*>(QStringLiteral("bindingTag")),
                                    p.tertiaryText);
        row->findChild<IconButton*>(QStringLiteral("bindingActions"))->applyPalette(p);
    }
    refreshStatuses();
}
