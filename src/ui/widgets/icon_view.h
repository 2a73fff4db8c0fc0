#pragma once

#include <QColor>
#include <QWidget>

// One Lucide icon, square, tinted with the surrounding colour: the widget's foreground colour
// (inherited from its parent's palette) unless a colour is set.
class IconView : public QWidget
{
    Q_OBJECT

public:
    explicit IconView(const QString& name = QString(), int size = 16, QWidget* parent = nullptr);

    QString name() const { return name_; }
    void setName(const QString& name);
    int iconSize() const { return size_; }
    void setIconSize(int size);
    // An invalid colour returns to the surrounding colour.
    void setColor(const QColor& color);
    QColor color() const;

    QSize sizeHint() const override { return {size_, size_}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString name_;
    int size_;
    QColor color_;
};
