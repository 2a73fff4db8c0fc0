#pragma once

#include <QStringList>
#include <QWidget>

class QButtonGroup;
class QPushButton;
struct Palette;

// A row of mutually exclusive segments, one of which is selected (a theme chooser, for example).
// Emits `activated` only when the user picks a segment, not when `setCurrentIndex` is called.
class SegmentedControl : public QWidget
{
    Q_OBJECT

public:
    explicit SegmentedControl(const QStringList& labels, QWidget* parent = nullptr);

    int currentIndex() const;
    void setCurrentIndex(int index);
    QPushButton* segment(int index) const;
    void applyPalette(const Palette& palette);

signals:
    void activated(int index);

private:
    QButtonGroup* group_;
};
