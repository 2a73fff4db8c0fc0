#include "ui/detail/overview/binding_diagram.h"

#include "ui/detail/overview/binding_menu.h"
#include "ui/detail/overview/overview_style.h"
#include "ui/theme/status_display.h"
#include "ui/theme/theme.h"
#include "ui/theme/type_scale.h"
#include "ui/ui_context.h"
#include "ui/widgets/focus_ring.h"
#include "ui/widgets/lucide.h"
#include "ui/widgets/status_dot.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <utility>

namespace {

constexpr qreal radius = 10;
constexpr int dotSpacing = 18;
constexpr qreal flowPeriod = 2400; // ms for a pulse to travel from the worker to its card
constexpr int pulsesPerConnector = 2;

QFont semibold(int pixels)
{
    QFont font = TypeScale::body();
    font.setPixelSize(pixels);
    font.setWeight(QFont::DemiBold);
    return font;
}

// A small rounded tag: the text in `color` on the same colour, faint.
void paintTag(QPainter& painter, const QRectF& area, const QString& text, const QColor& color,
              Qt::Alignment alignment)
{
    const QFont font = TypeScale::caption();
    const QFontMetricsF metrics(font);
    const qreal width = metrics.horizontalAdvance(text) + 12;
    const qreal height = metrics.height() + 4;
    const qreal x = alignment & Qt::AlignRight ? area.right() - width : area.left();
    const QRectF pill(x, area.center().y() - height / 2, width, height);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Palette::withAlpha(color, 0.14));
    painter.drawRoundedRect(pill, 4, 4);
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(pill, Qt::AlignCenter, text);
}

} // namespace

BindingDiagram::BindingDiagram(UiContext& ui, StatusOf statusOf, QWidget* parent)
    : QWidget(parent), ui_(ui), statusOf_(std::move(statusOf)),
      frames_(ui.frames ? ui.frames : new PulseClock(this))
{
    setObjectName(QStringLiteral("bindingDiagram"));
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus); // a click opens a menu; only Tab brings the focus here
    setProperty(FocusRing::ownRingProperty, true); // the focused card shows it
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(frames_, &PulseClock::ticked, this, &BindingDiagram::tick);
}

void BindingDiagram::setContent(const DiagramContent& content)
{
    if (content == content_ && minimumHeight() > 0)
        return;
    const bool sameItems = content.items == content_.items;
    content_ = content;
    if (!sameItems) {
        hovered_ = -1;
        focused_ = 0;
    }
    setFixedHeight(contentHeight());
    connectorsValid_ = false;
    syncAnimation();
    update();
}

void BindingDiagram::refresh()
{
    connectorsValid_ = false;
    update();
}

bool BindingDiagram::isAnimating() const
{
    return frames_->animates(this);
}

int BindingDiagram::contentHeight() const
{
    const qsizetype n = content_.items.size();
    const int cards = n > 0 ? int(n) * rowH + int(n - 1) * gap : 0;
    const int worker = workerH + gap + configRowH;
    return std::max(cards, worker) + 2 * inset;
}

QRectF BindingDiagram::workerRect() const
{
    const qreal w = width();
    const qreal workerW = std::min(0.34 * w, 230.0);
    const qsizetype n = content_.items.size();
    const qreal cards = n > 0 ? qreal(n) * rowH + qreal(n - 1) * gap : 0;
    const qreal block = workerH + gap + configRowH;
    // Centred on the cards, but never so far down that a long list hides it.
    const qreal offset = std::clamp((cards - block) / 2, 0.0, 160.0);
    return {qreal(inset), inset + offset, workerW - inset, qreal(workerH)};
}

QRectF BindingDiagram::configRowRect() const
{
    const QRectF worker = workerRect();
    return {worker.left(), worker.bottom() + gap, worker.width(), qreal(configRowH)};
}

QRectF BindingDiagram::cardRect(int index) const
{
    const qreal w = width();
    const qreal cardW = std::min(0.48 * w, 340.0);
    return {w - cardW, qreal(inset + index * (rowH + gap)), cardW - inset, qreal(rowH)};
}

QPointF BindingDiagram::workerAnchor() const
{
    const QRectF worker = workerRect();
    return {worker.right(), worker.center().y()};
}

QRect BindingDiagram::connectorBand() const
{
    const qreal left = workerRect().right() - 2;
    const qreal right = cardRect(0).left() + 2;
    return QRect(int(left), 0, int(right - left) + 1, height());
}

void BindingDiagram::syncAnimation()
{
    const bool wanted =
        content_.status.kind() == ProjectStatus::Kind::running && !content_.items.isEmpty();
    if (wanted == holdingFrames_)
        return;
    holdingFrames_ = wanted;
    if (wanted) {
        frames_->hold(this);
        return;
    }
    frames_->release(this);
    // Rest the connectors.
    for (const Pulse& pulse : std::as_const(pulses_))
        update(pulseRect(pulse.at));
    pulses_.clear();
}

QRect BindingDiagram::pulseRect(QPointF at)
{
    return QRectF(at.x() - 4, at.y() - 4, 8, 8).toAlignedRect();
}

void BindingDiagram::tick()
{
    if (!frames_->animates(this))
        return;
    const QList<Pulse> previous = std::exchange(pulses_, {});
    const qreal phase = std::fmod(qreal(frames_->frameTime()) / flowPeriod, 1.0);
    const QPointF from = workerAnchor();
    for (int i = 0; i < content_.items.size(); ++i) {
        const QRectF card = cardRect(i);
        const QPointF to(card.left(), card.center().y());
        const QPointF pull((to.x() - from.x()) * 0.5, 0);
        const QPointF c1 = from + pull;
        const QPointF c2 = to - pull;
        for (int k = 0; k < pulsesPerConnector; ++k) {
            const qreal t = std::fmod(phase + qreal(k) / pulsesPerConnector, 1.0);
            const qreal u = 1 - t;
            pulses_.append(
                {u * u * u * from + 3 * u * u * t * c1 + 3 * u * t * t * c2 + t * t * t * to, i});
        }
    }
    // Only where each pulse was and where it is now: one small rectangle per pulse, as a pulse
    // moves a few pixels a frame (two when it wraps round to the worker).
    for (qsizetype i = 0; i < pulses_.size(); ++i) {
        const QRect now = pulseRect(pulses_[i].at);
        const QRect before = i < previous.size() ? pulseRect(previous[i].at) : QRect();
        if (before.isNull() || !before.adjusted(-8, -8, 8, 8).intersects(now)) {
            update(now);
            if (!before.isNull())
                update(before);
        } else {
            update(now.united(before));
        }
    }
    for (qsizetype i = pulses_.size(); i < previous.size(); ++i)
        update(pulseRect(previous[i].at));
}

void BindingDiagram::paintEvent(QPaintEvent* event)
{
    const Palette& p = ui_.theme.palette();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRegion& region = event->region();

    // The dotted background, from one cached tile.
    const QColor dotColor = Palette::withAlpha(p.tertiaryText, 0.45);
    if (dotTile_.isNull() || dotTileColor_ != dotColor) {
        dotTileColor_ = dotColor;
        dotTile_ = QPixmap(dotSpacing, dotSpacing);
        dotTile_.fill(Qt::transparent);
        QPainter tile(&dotTile_);
        tile.setRenderHint(QPainter::Antialiasing);
        tile.setPen(Qt::NoPen);
        tile.setBrush(dotColor);
        tile.drawEllipse(QPointF(dotSpacing / 2.0, dotSpacing / 2.0), 1.1, 1.1);
    }
    // Rectangle by rectangle: a frame of the animation dirties a few small squares far apart,
    // and filling their bounding box would cost as much as a large repaint.
    const QBrush dots(dotTile_);
    for (const QRect& part : region)
        painter.fillRect(part, dots);

    paintConnectors(painter, p, region);
    if (region.intersects(workerRect().toAlignedRect()))
        paintWorker(painter, p);
    if (region.intersects(configRowRect().toAlignedRect()))
        paintConfigRow(painter, p);
    for (int i = 0; i < content_.items.size(); ++i)
        if (region.intersects(cardRect(i).toAlignedRect().adjusted(-2, -2, 2, 2)))
            paintCard(painter, i, p);
    paintFocusRing(painter, p);
}

void BindingDiagram::paintConnectors(QPainter& painter, const Palette& p, const QRegion& dirty)
{
    if (content_.items.isEmpty())
        return;
    const QRect band = connectorBand();
    const qreal ratio = devicePixelRatioF();
    if (connectors_.isNull() || connectors_.size() != band.size() * ratio)
        connectorsValid_ = false;
    if (!connectorsValid_) {
        renderConnectors(band, ratio, p);
        connectorsValid_ = true;
    }
    for (const QRect& part : dirty& band) {
        const QRectF source(QRectF(part.translated(-band.topLeft())).topLeft() * ratio,
                            QSizeF(part.size()) * ratio);
        painter.drawPixmap(QRectF(part), connectors_, source);
    }
    if (!frames_->animates(this))
        return;

    // Pulses travel from the worker to each card, where the last frame put them.
    painter.setPen(Qt::NoPen);
    for (const Pulse& pulse : std::as_const(pulses_)) {
        if (!dirty.intersects(pulseRect(pulse.at)) || pulse.item >= content_.items.size())
            continue;
        painter.setBrush(OverviewStyle::itemColor(content_.items[pulse.item], p));
        painter.drawEllipse(pulse.at, 2.5, 2.5);
    }
}

void BindingDiagram::renderConnectors(const QRect& band, qreal ratio, const Palette& p)
{
    connectors_ = QPixmap(band.size() * ratio);
    connectors_.setDevicePixelRatio(ratio);
    connectors_.fill(Qt::transparent);
    QPainter painter(&connectors_);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(-band.topLeft());
    // One stroke per colour (many items share their kind's colour); the hovered one on top.
    QList<QPair<QColor, QPainterPath>> strokes;
    QPainterPath hoveredPath;
    QColor hoveredColor;
    const QPointF from = workerAnchor();
    for (int i = 0; i < content_.items.size(); ++i) {
        const QRectF card = cardRect(i);
        const QPointF to(card.left(), card.center().y());
        const QPointF pull((to.x() - from.x()) * 0.5, 0);
        const QColor color = OverviewStyle::itemColor(content_.items[i], p);
        QPainterPath* path = nullptr;
        if (i == hovered_) {
            path = &hoveredPath;
            hoveredColor = color;
        } else {
            auto group = std::find_if(strokes.begin(), strokes.end(), [&color](const auto& stroke) {
                return stroke.first == color;
            });
            if (group == strokes.end())
                group = strokes.insert(strokes.end(), {color, QPainterPath()});
            path = &group->second;
        }
        path->moveTo(from);
        path->cubicTo(from + pull, to - pull, to);
    }
    for (const auto& [color, path] : std::as_const(strokes)) {
        painter.setPen(QPen(Palette::withAlpha(color, 0.55), 1.0));
        painter.drawPath(path);
    }
    if (!hoveredPath.isEmpty()) {
        painter.setPen(QPen(hoveredColor, 2.0));
        painter.drawPath(hoveredPath);
    }
}

void BindingDiagram::paintWorker(QPainter& painter, const Palette& p) const
{
    const QRectF node = workerRect();
    painter.setPen(QPen(Palette::withAlpha(p.worker, 0.7), 1.5));
    painter.setBrush(p.nodeBackground);
    painter.drawRoundedRect(node, radius, radius);
    // The orange accent along the left edge.
    painter.setPen(Qt::NoPen);
    painter.setBrush(p.worker);
    painter.drawRoundedRect(QRectF(node.left() + 1, node.top() + 12, 3, node.height() - 24), 1.5,
                            1.5);

    const QRectF inner = node.adjusted(14, 12, -12, -12);
    const QRectF iconBox(inner.left(), inner.top(), 28, 28);
    painter.setBrush(Palette::withAlpha(p.worker, 0.15));
    painter.drawRoundedRect(iconBox, 7, 7);
    painter.drawPixmap(iconBox.center() - QPointF(8, 8),
                       Lucide::pixmap(QStringLiteral("cloud"), p.worker, 16,
                                      painter.device()->devicePixelRatioF()));
    paintTag(painter, QRectF(iconBox.right() + 8, iconBox.top(), 80, iconBox.height()),
             QStringLiteral("Worker"), p.worker, Qt::AlignLeft);

    StatusDisplay display = statusDisplay(content_.status, p);
    display.pulses = false;
    paintStatusDot(painter, QPointF(inner.right() - 4, iconBox.center().y()), display, 8, 0);

    const QFont nameFont = semibold(15);
    painter.setFont(nameFont);
    painter.setPen(p.primaryText);
    const QRectF nameRect(inner.left(), iconBox.bottom() + 8, inner.width(),
                          QFontMetricsF(nameFont).height());
    painter.drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetrics(nameFont).elidedText(content_.workerName, Qt::ElideRight,
                                                       int(nameRect.width())));
    if (content_.entry) {
        const QFont mono = TypeScale::monospaced();
        painter.setFont(mono);
        painter.setPen(p.secondaryText);
        const QRectF entryRect(inner.left(), nameRect.bottom() + 2, inner.width(),
                               QFontMetricsF(mono).height());
        painter.drawText(entryRect, Qt::AlignLeft | Qt::AlignVCenter,
                         QFontMetrics(mono).elidedText(*content_.entry, Qt::ElideMiddle,
                                                       int(entryRect.width())));
    }
}

void BindingDiagram::paintConfigRow(QPainter& painter, const Palette& p) const
{
    const QRectF row = configRowRect();
    painter.setPen(QPen(p.border, 1));
    painter.setBrush(configHovered_ ? p.subtleFill : p.nodeBackground);
    painter.drawRoundedRect(row, 8, 8);
    const qreal ratio = painter.device()->devicePixelRatioF();
    const QPointF iconAt(row.left() + 10, row.center().y() - 7);
    painter.drawPixmap(iconAt,
                       Lucide::pixmap(QStringLiteral("file-text"), p.secondaryText, 14, ratio));
    painter.drawPixmap(QPointF(row.right() - 22, row.center().y() - 7),
                       Lucide::pixmap(QStringLiteral("chevron-right"), p.tertiaryText, 14, ratio));
    const QFont font = TypeScale::monospaced();
    painter.setFont(font);
    painter.setPen(p.primaryText);
    const QRectF text = row.adjusted(32, 0, -28, 0);
    painter.drawText(
        text, Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(font).elidedText(content_.configFile, Qt::ElideMiddle, int(text.width())));
}

void BindingDiagram::paintCard(QPainter& painter, int index, const Palette& p) const
{
    const BindingItem& item = content_.items[index];
    const QRectF card = cardRect(index);
    const QColor color = OverviewStyle::itemColor(item, p);
    const bool hovered = index == hovered_;
    painter.setPen(QPen(hovered ? color : p.border, hovered ? 1.5 : 1));
    painter.setBrush(p.nodeBackground);
    painter.drawRoundedRect(card, radius, radius);

    const QRectF iconBox(card.left() + 10, card.center().y() - 14, 28, 28);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Palette::withAlpha(color, 0.14));
    painter.drawRoundedRect(iconBox, 7, 7);
    painter.drawPixmap(iconBox.center() - QPointF(8, 8),
                       Lucide::pixmap(item.icon, color, 16, painter.device()->devicePixelRatioF()));

    // The tag at the right, the status dot of a linked local project before it.
    const QFont tagFont = TypeScale::caption();
    const qreal tagWidth = QFontMetricsF(tagFont).horizontalAdvance(item.tag) + 12;
    const QRectF tagArea(card.right() - 10 - tagWidth, card.top(), tagWidth, card.height());
    paintTag(painter, tagArea, item.tag, color, Qt::AlignRight);
    qreal textRight = tagArea.left() - 8;
    if (item.connected) {
        const QString state = OverviewStyle::connectionText(item);
        const qreal stateWidth = QFontMetricsF(tagFont).horizontalAdvance(state);
        painter.setFont(tagFont);
        painter.setPen(OverviewStyle::connectionColor(item, p));
        painter.drawText(QRectF(textRight - stateWidth, card.top(), stateWidth, card.height()),
                         Qt::AlignRight | Qt::AlignVCenter, state);
        textRight -= stateWidth + 8;
    }
    if (item.localService) {
        StatusDisplay display = statusOf_(item.localService->projectID);
        display.pulses = false;
        paintStatusDot(painter, QPointF(textRight - 4, card.center().y()), display, 7, 0);
        textRight -= 16;
    }

    const qreal left = iconBox.right() + 10;
    const qreal width = std::max(0.0, textRight - left);
    const QFont titleFont = TypeScale::bodyMedium();
    const QFont subtitleFont = TypeScale::caption();
    const qreal titleH = QFontMetricsF(titleFont).height();
    const qreal subtitleH = item.subtitle ? QFontMetricsF(subtitleFont).height() : 0;
    qreal y = card.center().y() - (titleH + subtitleH) / 2;
    painter.setFont(titleFont);
    painter.setPen(p.primaryText);
    painter.drawText(QRectF(left, y, width, titleH), Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetrics(titleFont).elidedText(item.title, Qt::ElideRight, int(width)));
    if (item.subtitle) {
        y += titleH;
        painter.setFont(subtitleFont);
        painter.setPen(p.secondaryText);
        painter.drawText(
            QRectF(left, y, width, subtitleH), Qt::AlignLeft | Qt::AlignVCenter,
            QFontMetrics(subtitleFont).elidedText(*item.subtitle, Qt::ElideRight, int(width)));
    }
}

void BindingDiagram::setHovered(int index, bool configRow)
{
    if (index == hovered_ && configRow == configHovered_)
        return;
    const int previous = hovered_;
    if (index != previous)
        connectorsValid_ = false;
    hovered_ = index;
    configHovered_ = configRow;
    setCursor(index >= 0 || configRow ? Qt::PointingHandCursor : Qt::ArrowCursor);
    setToolTip(configRow ? QStringLiteral("Open ") + content_.configFile +
                               QStringLiteral(" in your editor")
                         : QString());
    // The hovered card and its connector, and the ones left.
    QRect dirty = connectorBand() | configRowRect().toAlignedRect().adjusted(-2, -2, 2, 2);
    for (int i : {previous, index})
        if (i >= 0)
            dirty |= cardRect(i).toAlignedRect().adjusted(-2, -2, 2, 2);
    update(dirty);
}

int BindingDiagram::cardAt(const QPointF& at) const
{
    for (int i = 0; i < content_.items.size(); ++i)
        if (cardRect(i).contains(at))
            return i;
    return -1;
}

void BindingDiagram::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF at = event->position();
    setHovered(cardAt(at), configRowRect().contains(at));
}

void BindingDiagram::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    setHovered(-1, false);
}

void BindingDiagram::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPointF at = event->position();
    if (configRowRect().contains(at)) {
        emit configRowClicked();
        return;
    }
    if (const int index = cardAt(at); index >= 0)
        showMenu(index);
}

void BindingDiagram::contextMenuEvent(QContextMenuEvent* event)
{
    if (event->reason() == QContextMenuEvent::Mouse) {
        if (const int index = cardAt(event->pos()); index >= 0)
            showMenu(index);
        return;
    }
    // The menu key (or Shift+F10) acts on the focused card.
    if (hasFocus())
        activate(focused_);
}

void BindingDiagram::activate(int index)
{
    if (index == content_.items.size())
        emit configRowClicked();
    else if (index >= 0 && index < content_.items.size())
        showMenu(index);
}

void BindingDiagram::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
    case Qt::Key_Menu: activate(focused_); return;
    default: QWidget::keyPressEvent(event);
    }
}

void BindingDiagram::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    const int stops = int(content_.items.size()) + 1; // the cards, then the config row
    if (event->reason() == Qt::TabFocusReason)
        focused_ = 0;
    else if (event->reason() == Qt::BacktabFocusReason)
        focused_ = stops - 1;
    focused_ = std::clamp(focused_, 0, stops - 1);
    keyboardFocus_ = event->reason() == Qt::TabFocusReason ||
                     event->reason() == Qt::BacktabFocusReason ||
                     event->reason() == Qt::ShortcutFocusReason;
    update();
}

void BindingDiagram::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    keyboardFocus_ = false;
    update();
}

bool BindingDiagram::focusNextPrevChild(bool next)
{
    // Tab moves between the stops inside the diagram before it leaves it.
    const int stops = int(content_.items.size()) + 1;
    if (hasFocus() && (next ? focused_ + 1 < stops : focused_ > 0)) {
        update(focusRect(focused_).toAlignedRect().adjusted(-4, -4, 4, 4));
        focused_ += next ? 1 : -1;
        keyboardFocus_ = true;
        update(focusRect(focused_).toAlignedRect().adjusted(-4, -4, 4, 4));
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}

QRectF BindingDiagram::focusRect(int index) const
{
    return index == content_.items.size() ? configRowRect() : cardRect(index);
}

void BindingDiagram::paintFocusRing(QPainter& painter, const Palette& p) const
{
    if (!showsFocusRing())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(p.accent, 2));
    painter.drawRoundedRect(focusRect(focused_).adjusted(-2, -2, 2, 2), radius + 2, radius + 2);
    painter.restore();
}

void BindingDiagram::showMenu(int index)
{
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("bindingMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    fillBindingMenu(*menu, ui_, content_.items[index]);
    menu->popup(mapToGlobal(cardRect(index).bottomLeft().toPoint()));
    if (keyboardFocus_ && hasFocus())
        menu->setActiveAction(menu->actions().value(0)); // ready for the arrow keys
}
