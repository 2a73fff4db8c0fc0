#include "ui/widgets/buttons.h"

#include "ui/theme/palette.h"
#include "ui/widgets/lucide.h"

#include <QPushButton>

namespace {

QString rgba(const QColor& c)
{
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg(c.red())
        .arg(c.green())
        .arg(c.blue())
        .arg(c.alphaF(), 0, 'f', 3);
}

} // namespace

void styleButton(QPushButton* button, ButtonStyle style, const Palette& p, const QString& icon)
{
    QColor background;
    QColor text;
    QColor hover;
    switch (style) {
    case ButtonStyle::primary:
        background = p.accent;
        text = Qt::white;
        hover = p.accent.lighter(112);
        break;
    case ButtonStyle::secondary:
        background = p.subtleFill;
        text = p.primaryText;
        hover = p.border;
        break;
    case ButtonStyle::plain:
        background = Qt::transparent;
        text = p.primaryText;
        hover = p.hoveredRowFill();
        break;
    }
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::TabFocus);
    const QString border = style == ButtonStyle::plain
                               ? QStringLiteral("none")
                               : QStringLiteral("1px solid ") + rgba(p.border);
    // No outline: the window's focus ring marks a button reached by the keyboard.
    button->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: %2; border: %3;"
                                         " border-radius: 6px; padding: 5px 12px; outline: none; }"
                                         "QPushButton:hover { background: %4; }"
                                         "QPushButton:disabled { color: %5; }")
                              .arg(rgba(background), rgba(text),
                                   style == ButtonStyle::primary ? QStringLiteral("none") : border,
                                   rgba(hover), rgba(p.tertiaryText)));
    if (!icon.isEmpty()) {
        button->setIcon(Lucide::icon(icon, text, 14, p.tertiaryText));
        button->setIconSize(QSize(14, 14));
    }
}

IconButton::IconButton(const QString& icon, int side, int iconSize, QWidget* parent)
    : QToolButton(parent), icon_(icon), iconSize_(iconSize)
{
    setFixedSize(side, side);
    setIconSize(QSize(iconSize, iconSize));
    setAutoRaise(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    refresh();
}

void IconButton::setIconName(const QString& icon)
{
    if (icon_ == icon)
        return;
    icon_ = icon;
    refresh();
}

void IconButton::setIconColor(const QColor& color)
{
    if (color_ == color)
        return;
    color_ = color;
    refresh();
}

void IconButton::applyPalette(const Palette& palette)
{
    fallback_ = palette.secondaryText;
    hover_ = palette.hoveredRowFill();
    hover_.setAlphaF(0.09f);
    setStyleSheet(QStringLiteral("QToolButton { border: none; border-radius: 5px; background: "
                                 "transparent; }"
                                 "QToolButton:hover { background: %1; }"
                                 "QToolButton::menu-indicator { image: none; width: 0; }")
                      .arg(rgba(hover_)));
    refresh();
}

void IconButton::refresh()
{
    const QColor color = color_.isValid()      ? color_
                         : fallback_.isValid() ? fallback_
                                               : palette().color(QPalette::WindowText);
    setIcon(Lucide::icon(icon_, color, iconSize_));
}

ToggleButton::ToggleButton(const QString& text, const QString& icon, QWidget* parent)
    : QPushButton(text, parent), icon_(icon)
{
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setIconSize(QSize(14, 14));
}

void ToggleButton::applyPalette(const Palette& p)
{
    setStyleSheet(QStringLiteral("QPushButton { background: transparent; color: %1; border: none;"
                                 " border-radius: 6px; padding: 4px 10px; outline: none; }"
                                 "QPushButton:hover { background: %2; }"
                                 "QPushButton:checked { background: %3; color: %4; }")
                      .arg(rgba(p.secondaryText), rgba(p.hoveredRowFill()),
                           rgba(Palette::withAlpha(p.accent, 0.14)), rgba(p.accent)));
    QIcon icon;
    icon.addPixmap(Lucide::pixmap(icon_, p.secondaryText, 14, devicePixelRatioF()), QIcon::Normal,
                   QIcon::Off);
    icon.addPixmap(Lucide::pixmap(icon_, p.accent, 14, devicePixelRatioF()), QIcon::Normal,
                   QIcon::On);
    setIcon(icon);
}
