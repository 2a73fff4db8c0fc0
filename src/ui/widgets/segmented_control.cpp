#include "ui/widgets/segmented_control.h"

#include "ui/theme/palette.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>

namespace {

// The selected segment stands out as a card on light backgrounds; on dark ones a card would
// hardly differ from the track, so it takes the selected-row fill.
QColor selectedFill(const Palette& p)
{
    return p.windowBackground.lightness() < 128 ? p.selectedRowFill() : p.cardBackground;
}

} // namespace

SegmentedControl::SegmentedControl(const QStringList& labels, QWidget* parent)
    : QWidget(parent), group_(new QButtonGroup(this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    for (qsizetype i = 0; i < labels.size(); ++i) {
        auto* button = new QPushButton(labels[i], this);
        button->setObjectName(QStringLiteral("segment_") + labels[i]);
        button->setCheckable(true);
        button->setCursor(Qt::PointingHandCursor);
        group_->addButton(button, int(i));
        layout->addWidget(button);
    }
    connect(group_, &QButtonGroup::idClicked, this, &SegmentedControl::activated);
}

int SegmentedControl::currentIndex() const
{
    return group_->checkedId();
}

void SegmentedControl::setCurrentIndex(int index)
{
    if (QAbstractButton* button = group_->button(index))
        button->setChecked(true);
}

QPushButton* SegmentedControl::segment(int index) const
{
    return qobject_cast<QPushButton*>(group_->button(index));
}

void SegmentedControl::applyPalette(const Palette& p)
{
    setAutoFillBackground(false);
    setStyleSheet(
        QStringLiteral(
            "SegmentedControl { background: %1; border-radius: 7px; }"
            "QPushButton { border: none; border-radius: 5px; outline: none; padding: 3px 14px;"
            " color: %2; background: transparent; }"
            "QPushButton:checked { background: %3; color: %4; }")
            .arg(p.subtleFill.name(), p.secondaryText.name(), selectedFill(p).name(QColor::HexArgb),
                 p.primaryText.name()));
    setAttribute(Qt::WA_StyledBackground, true);
}
