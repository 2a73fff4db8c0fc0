#include "ui/widgets/icon_view.h"

#include <QPainter>

IconView::IconView(const QString& name, int size, QWidget* parent)
    : QWidget(parent), icon_{{}, name}, size_(size)
{
    setFixedSize(size_, size_);
    setAttribute(Qt::WA_TranslucentBackground);
}

void IconView::setName(const QString& name)
{
    setKindIcon({{}, name});
}

void IconView::setKindIcon(const KindIcon& icon)
{
    if (icon_ == icon)
        return;
    icon_ = icon;
    update();
}

void IconView::setIconSize(int size)
{
    if (size_ == size)
        return;
    size_ = size;
    setFixedSize(size_, size_);
    update();
}

void IconView::setColor(const QColor& color)
{
    if (color_ == color)
        return;
    color_ = color;
    update();
}

QColor IconView::color() const
{
    return color_.isValid() ? color_ : palette().color(foregroundRole());
}

void IconView::paintEvent(QPaintEvent*)
{
    const QPixmap image = kindPixmap(icon_, color(), size_, devicePixelRatioF());
    if (image.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, image);
}
