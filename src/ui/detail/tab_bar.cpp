#include "ui/detail/tab_bar.h"

#include "ui/theme/palette.h"
#include "ui/theme/type_scale.h"
#include "ui/widgets/lucide.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>

namespace {

constexpr int iconSize = 14;
constexpr int underlineHeight = 2;

} // namespace

TabBar::TabBar(const Palette& palette, QWidget* parent)
    : QWidget(parent), palette_(&palette), underline_(new QWidget(this)),
      slide_(new QPropertyAnimation(underline_, "geometry", this))
{
    setObjectName(QStringLiteral("tabBar"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(20, 0, 20, 0);
    layout->setSpacing(4);
    for (DetailTab tab : allDetailTabs()) {
        auto* item = new TabItem(tab, this);
        connect(item, &TabItem::clicked, this, &TabBar::tabClicked);
        items_.append(item);
        layout->addWidget(item);
    }
    layout->addStretch(1);
    underline_->setObjectName(QStringLiteral("tabUnderline"));
    underline_->setAutoFillBackground(true);
    slide_->setDuration(220);
    slide_->setEasingCurve(QEasingCurve::OutCubic);
    applyPalette(palette);
}

TabItem* TabBar::item(DetailTab tab) const
{
    for (TabItem* item : items_)
        if (item->tab() == tab)
            return item;
    return nullptr;
}

void TabBar::setSelected(DetailTab tab)
{
    const bool changed = selected_ != tab;
    selected_ = tab;
    for (TabItem* item : std::as_const(items_))
        item->setState(item->tab() == selected_, *palette_);
    if (!changed)
        return;
    if (!placed_ || !isVisible()) {
        underline_->setGeometry(underlineFor(tab));
        return;
    }
    slide_->stop();
    slide_->setStartValue(underline_->geometry());
    slide_->setEndValue(underlineFor(tab));
    slide_->start();
}

void TabBar::applyPalette(const Palette& palette)
{
    palette_ = &palette;
    QPalette pal = underline_->palette();
    pal.setColor(QPalette::Window, palette.primaryText);
    underline_->setPalette(pal);
    for (TabItem* item : std::as_const(items_))
        item->setState(item->tab() == selected_, palette);
    update();
}

QRect TabBar::underlineFor(DetailTab tab) const
{
    const TabItem* target = item(tab);
    if (!target)
        return {};
    const QRect g = target->geometry();
    return {g.left() + 4, height() - underlineHeight, g.width() - 8, underlineHeight};
}

void TabBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    slide_->stop();
    // The layout places the items during this resize; place the underline after it.
    layout()->activate();
    underline_->setGeometry(underlineFor(selected_));
    underline_->raise();
    placed_ = true;
}

void TabBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(QRect(0, height() - 1, width(), 1), palette_->border);
}

TabItem::TabItem(DetailTab tab, QWidget* parent) : QWidget(parent), tab_(tab)
{
    setObjectName(QStringLiteral("tabItem_") + rawValue(tab));
    setAccessibleName(tabTitle(tab));
    setToolTip(tabTitle(tab) + QStringLiteral(" (Ctrl+") +
               QString::number(allDetailTabs().indexOf(tab) + 1) + QLatin1Char(')'));
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    // Reached by Tab (the window's focus ring marks it) and chosen with Space or Enter.
    setFocusPolicy(Qt::TabFocus);
}

void TabItem::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter: emit clicked(tab_); return;
    default: QWidget::keyPressEvent(event);
    }
}

void TabItem::setState(bool selected, const Palette& palette)
{
    selected_ = selected;
    palette_ = &palette;
    update();
}

QSize TabItem::sizeHint() const
{
    const QFontMetrics metrics(TypeScale::bodyMedium());
    return {12 + iconSize + 6 + metrics.horizontalAdvance(tabTitle(tab_)) + 12, 38};
}

void TabItem::paintEvent(QPaintEvent*)
{
    if (!palette_)
        return;
    QPainter painter(this);
    const QColor color = selected_ || hovered_ ? palette_->primaryText : palette_->secondaryText;
    const QPixmap icon = Lucide::pixmap(tabIcon(tab_), color, iconSize, devicePixelRatioF());
    painter.drawPixmap(12, (height() - iconSize) / 2, icon);
    painter.setFont(TypeScale::bodyMedium());
    painter.setPen(color);
    painter.drawText(QRect(12 + iconSize + 6, 0, width(), height()),
                     Qt::AlignLeft | Qt::AlignVCenter, tabTitle(tab_));
}

void TabItem::enterEvent(QEnterEvent*)
{
    hovered_ = true;
    update();
}

void TabItem::leaveEvent(QEvent*)
{
    hovered_ = false;
    update();
}

void TabItem::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit clicked(tab_);
}
