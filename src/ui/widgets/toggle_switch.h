#pragma once

#include <QAbstractButton>
#include <QColor>

// An on/off switch: a checkable button drawn as a rounded track with a knob, the track in the
// accent colour when on. Space and clicks toggle it like a check box.
class ToggleSwitch : public QAbstractButton
{
    Q_OBJECT

public:
    explicit ToggleSwitch(QWidget* parent = nullptr);

    void setColors(const QColor& on, const QColor& off);
    QSize sizeHint() const override { return {36, 20}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor on_;
    QColor off_;
};
