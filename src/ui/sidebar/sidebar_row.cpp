#include "ui/sidebar/sidebar_row.h"

#include "ui/theme/palette.h"
#include "ui/theme/type_scale.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/lucide.h"
#include "ui/widgets/status_dot.h"

#include <QContextMenuEvent>
#include <QGraphicsOpacityEffect>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>

namespace {

constexpr int rowHeight = 44;
constexpr int sidePadding = 10;
constexpr int iconFrame = 16;
constexpr int slotSide = 22;
constexpr int dotSize = 7;

} // namespace

SidebarRow::SidebarRow(PulseClock& clock, const Palette& palette, QWidget* parent)
    : QWidget(parent), clock_(&clock), palette_(&palette)
{
    setObjectName(QStringLiteral("sidebarRow"));
    setMouseTracking(true);
    setFixedHeight(rowHeight);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(&clock, &PulseClock::ticked, this, [this] {
        if (hovered_ || !clock_ || !clock_->animates(this))
            return;
        // Only the halo: its radius grows to 2.1 dots; a pixel more for antialiasing.
        const QPointF centre = dotCentre();
        const qreal reach = dotSize * 2.1 + 1;
        update(
            QRectF(centre.x() - reach, centre.y() - reach, 2 * reach, 2 * reach).toAlignedRect());
    });
}

SidebarRow::~SidebarRow()
{
    if (holdingClock_ && clock_)
        clock_->release(this);
}

void SidebarRow::setContent(const RowContent& content)
{
    if (content_ == content)
        return;
    content_ = content;
    setAccessibleName(content_.displayName);
    setAccessibleDescription(statusDisplay(content_.status, *palette_).accessibilityLabel);
    updatePulse();
    refreshButtons();
    update();
}

void SidebarRow::setSelected(bool selected)
{
    if (selected_ == selected)
        return;
    selected_ = selected;
    update();
}

void SidebarRow::setFocusRing(bool shown)
{
    if (focusRing_ == shown)
        return;
    focusRing_ = shown;
    update();
}

void SidebarRow::setPalette(const Palette& palette)
{
    palette_ = &palette;
    if (favoriteButton_) {
        favoriteButton_->applyPalette(palette);
        startStopButton_->applyPalette(palette);
    }
    refreshButtons();
    update();
}

void SidebarRow::setHovered(bool hovered)
{
    if (hovered_ == hovered)
        return;
    hovered_ = hovered;
    if (hovered_)
        ensureButtons();
    if (fade_) {
        // The buttons fade in over the slot where the dot was, and fade out the same way.
        fade_->stop();
        fade_->setDirection(hovered_ ? QAbstractAnimation::Forward : QAbstractAnimation::Backward);
        fade_->start();
    }
    refreshButtons();
    update();
}

QSize SidebarRow::sizeHint() const
{
    return {200, rowHeight};
}

void SidebarRow::ensureButtons()
{
    if (favoriteButton_)
        return;
    favoriteButton_ = new IconButton(QStringLiteral("star"), slotSide, 14, this);
    favoriteButton_->setObjectName(QStringLiteral("rowFavoriteButton"));
    startStopButton_ = new IconButton(QStringLiteral("play"), slotSide, 14, this);
    startStopButton_->setObjectName(QStringLiteral("rowStartStopButton"));
    favoriteButton_->applyPalette(*palette_);
    startStopButton_->applyPalette(*palette_);
    fade_ = new QVariantAnimation(this);
    fade_->setStartValue(0.0);
    fade_->setEndValue(1.0);
    fade_->setDuration(150);
    // A fade-out hides the buttons once it ends.
    connect(fade_, &QVariantAnimation::finished, this, [this] {
        refreshButtons();
        update();
    });
    for (IconButton* button : {favoriteButton_, startStopButton_}) {
        auto* effect = new QGraphicsOpacityEffect(button);
        button->setGraphicsEffect(effect);
        connect(fade_, &QVariantAnimation::valueChanged, effect,
                [effect](const QVariant& value) { effect->setOpacity(value.toReal()); });
    }
    connect(favoriteButton_, &IconButton::clicked, this,
            [this] { emit favoriteToggled(content_.path, !content_.favorite); });
    connect(startStopButton_, &IconButton::clicked, this, [this] {
        if (content_.status.kind() == ProjectStatus::Kind::running)
            emit stopRequested(content_.path);
        else
            emit startRequested(content_.path);
    });
    placeButtons();
}

void SidebarRow::refreshButtons()
{
    if (!favoriteButton_)
        return;
    favoriteButton_->setIconName(content_.favorite ? QStringLiteral("star-filled")
                                                   : QStringLiteral("star"));
    favoriteButton_->setIconColor(content_.favorite ? palette_->starting : palette_->secondaryText);
    favoriteButton_->setToolTip(content_.favorite ? QStringLiteral("Remove from Favorites")
                                                  : QStringLiteral("Add to Favorites"));
    const bool running = content_.status.kind() == ProjectStatus::Kind::running;
    startStopButton_->setIconName(running ? QStringLiteral("square") : QStringLiteral("play"));
    startStopButton_->setToolTip(running ? QStringLiteral("Stop") : QStringLiteral("Start"));
    const bool shown = buttonsShown();
    favoriteButton_->setVisible(shown);
    // No start/stop while a start is under way.
    startStopButton_->setVisible(shown && content_.status.kind() != ProjectStatus::Kind::starting);
}

bool SidebarRow::buttonsShown() const
{
    const bool fadingOut = fade_ && fade_->state() == QAbstractAnimation::Running &&
                           fade_->direction() == QAbstractAnimation::Backward;
    return hovered_ || fadingOut;
}

void SidebarRow::placeButtons()
{
    if (!favoriteButton_)
        return;
    const int top = (height() - slotSide) / 2;
    const int right = width() - sidePadding;
    startStopButton_->move(right - slotSide, top);
    favoriteButton_->move(right - 2 * slotSide - 2, top);
}

QPointF SidebarRow::dotCentre() const
{
    return {width() - sidePadding - slotSide / 2.0, height() / 2.0};
}

void SidebarRow::updatePulse()
{
    const bool wants = content_.status.kind() == ProjectStatus::Kind::running;
    if (wants == holdingClock_)
        return;
    holdingClock_ = wants;
    if (clock_)
        wants ? clock_->hold(this) : clock_->release(this);
}

void SidebarRow::paintEvent(QPaintEvent* event)
{
    const Palette& p = *palette_;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF back = QRectF(rect()).adjusted(6, 1, -6, -1);
    if (selected_ || hovered_) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(selected_ ? p.selectedRowFill() : p.hoveredRowFill());
        painter.drawRoundedRect(back, 6, 6);
    }
    if (focusRing_) {
        painter.setPen(QPen(p.accent, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(back.adjusted(1, 1, -1, -1), 5, 5);
    }

    const QColor iconColor = content_.hidden ? p.tertiaryText
                             : selected_     ? p.primaryText
                                             : p.secondaryText;
    const int iconLeft = 6 + sidePadding;
    const QPixmap icon = kindPixmap(content_.kindIcon, iconColor, iconFrame, devicePixelRatioF());
    if (!icon.isNull())
        painter.drawPixmap(iconLeft, (height() - iconFrame) / 2, icon);

    const int textLeft = iconLeft + iconFrame + 10;
    const int slotWidth = buttonsShown() ? 2 * slotSide + 2 : slotSide;
    const int textWidth = qMax(0, width() - textLeft - sidePadding - slotWidth - 6);
    // A frame of the halo repaints only the dot's corner: the text stays as it is.
    if (event->rect().intersects(QRect(textLeft, 0, textWidth, height())))
        paintText(painter, textLeft, textWidth);

    if (!hovered_) {
        paintStatusDot(painter, dotCentre(), statusDisplay(content_.status, p), dotSize,
                       holdingClock_ && clock_ ? clock_->phase() : 0.0);
    }
}

void SidebarRow::paintText(QPainter& painter, int textLeft, int textWidth) const
{
    const Palette& p = *palette_;
    const QFont nameFont = TypeScale::bodyMedium();
    const QFont subtitleFont = TypeScale::caption();
    const QFontMetrics nameMetrics(nameFont);
    const QFontMetrics subtitleMetrics(subtitleFont);
    const int block = nameMetrics.height() + subtitleMetrics.height() + 1;
    const int top = (height() - block) / 2;

    painter.setFont(nameFont);
    painter.setPen(content_.hidden ? p.secondaryText : p.primaryText);
    painter.drawText(QRect(textLeft, top, textWidth, nameMetrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     nameMetrics.elidedText(content_.displayName, Qt::ElideRight, textWidth));
    painter.setFont(subtitleFont);
    const QRect subtitleLine(textLeft, top + nameMetrics.height() + 1, textWidth,
                             subtitleMetrics.height());
    // The traffic figure keeps its place at the line's end; the subtitle gives way to it, and
    // it to the subtitle when the row is too narrow for both.
    int subtitleWidth = textWidth;
    if (!content_.traffic.isEmpty()) {
        const int figureWidth = subtitleMetrics.horizontalAdvance(content_.traffic);
        const int gap = 8;
        if (textWidth - figureWidth - gap >=
            qMin(subtitleMetrics.horizontalAdvance(content_.subtitle),
                 subtitleMetrics.horizontalAdvance(QStringLiteral("localhost:0000")))) {
            subtitleWidth = textWidth - figureWidth - gap;
            // Tertiary text is too faint on the selection's fill.
            painter.setPen(selected_ ? p.secondaryText : p.tertiaryText);
            painter.drawText(subtitleLine, Qt::AlignRight | Qt::AlignVCenter, content_.traffic);
        }
    }
    painter.setPen(p.secondaryText);
    painter.drawText(subtitleLine.adjusted(0, 0, subtitleWidth - textWidth, 0),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     subtitleMetrics.elidedText(content_.subtitle, Qt::ElideRight, subtitleWidth));
}

void SidebarRow::enterEvent(QEnterEvent*)
{
    setHovered(true);
}

void SidebarRow::leaveEvent(QEvent*)
{
    setHovered(false);
}

void SidebarRow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit clicked(content_.path);
    QWidget::mousePressEvent(event);
}

void SidebarRow::contextMenuEvent(QContextMenuEvent* event)
{
    emit contextMenuRequested(content_.path, event->globalPos());
}

void SidebarRow::resizeEvent(QResizeEvent*)
{
    placeButtons();
}
