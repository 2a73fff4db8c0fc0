#pragma once

#include <QPushButton>
#include <QString>
#include <QToolButton>

struct Palette;

enum class ButtonStyle {
    primary,   // accent fill, white text
    secondary, // subtle fill, primary text
    plain,     // no fill until hovered
};

// Gives a text button its colours, corner radius and (optional) Lucide icon in its text colour.
void styleButton(QPushButton* button, ButtonStyle style, const Palette& palette,
                 const QString& icon = QString());

// A square button that shows one Lucide icon: the sidebar's hover buttons, the add and settings
// buttons, the More menu. The icon takes the colour given, or the secondary text colour.
class IconButton : public QToolButton
{
    Q_OBJECT

public:
    IconButton(const QString& icon, int side, int iconSize, QWidget* parent = nullptr);

    QString iconName() const { return icon_; }
    void setIconName(const QString& icon);
    // An invalid colour uses the palette's secondary text colour.
    void setIconColor(const QColor& color);
    void applyPalette(const Palette& palette);

private:
    void refresh();

    QString icon_;
    int iconSize_;
    QColor color_;
    QColor fallback_;
    QColor hover_;
};

// A checkable text button with a Lucide icon: plain while off, tinted with the accent colour
// while on ("Follow" in the Logs tab).
class ToggleButton : public QPushButton
{
    Q_OBJECT

public:
    ToggleButton(const QString& text, const QString& icon, QWidget* parent = nullptr);

    // Takes effect with the next applyPalette.
    void setIconName(const QString& icon) { icon_ = icon; }
    void applyPalette(const Palette& palette);

private:
    QString icon_;
};
