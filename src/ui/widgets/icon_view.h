#pragma once

#include "ui/widgets/kind_icon.h"

#include <QColor>
#include <QWidget>

// One Lucide icon (or a project's kind icon, which may be a logo), square, tinted with the
// surrounding colour: the widget's foreground colour (inherited from its parent's palette)
// unless a colour is set.
class IconView : public QWidget
{
    Q_OBJECT

public:
    explicit IconView(const QString& name = QString(), int size = 16, QWidget* parent = nullptr);

    QString name() const { return icon_.lucide; }
    void setName(const QString& name);
    const KindIcon& kindIcon() const { return icon_; }
    void setKindIcon(const KindIcon& icon);
    int iconSize() const { return size_; }
    void setIconSize(int size);
    // An invalid colour returns to the surrounding colour.
    void setColor(const QColor& color);
    QColor color() const;

    QSize sizeHint() const override { return {size_, size_}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    KindIcon icon_;
    int size_;
    QColor color_;
};
