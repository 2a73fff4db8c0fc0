#include "ui/detail/memory_badge.h"

#include "ui/theme/status_display.h"
#include "ui/theme/type_scale.h"
#include "ui/widgets/icon_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVariantAnimation>

MemoryBadge::MemoryBadge(QWidget* parent)
    : QWidget(parent), icon_(new IconView(QStringLiteral("memory-stick"), 12, this)),
      label_(new QLabel(this)), fade_(new QVariantAnimation(this))
{
    setObjectName(QStringLiteral("memoryBadge"));
    setToolTip(QStringLiteral("Memory used by this project, including workerd"));
    label_->setObjectName(QStringLiteral("memoryBadgeLabel"));
    label_->setFont(TypeScale::captionMedium());
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(icon_);
    layout->addWidget(label_);
    fade_->setDuration(300);
    fade_->setEasingCurve(QEasingCurve::OutCubic);
    connect(fade_, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { paintColor(value.value<QColor>()); });
}

void MemoryBadge::setBytes(quint64 bytes, const Palette& palette)
{
    bytes_ = bytes;
    label_->setText(formatMemory(bytes));
    const QColor next = memoryColor(bytes, palette);
    if (next == target_)
        return;
    const bool first = !target_.isValid();
    target_ = next;
    fade_->stop();
    if (first || !isVisible()) {
        paintColor(next);
        return;
    }
    fade_->setStartValue(shown_);
    fade_->setEndValue(next);
    fade_->start();
}

QString MemoryBadge::text() const
{
    return label_->text();
}

void MemoryBadge::paintColor(const QColor& color)
{
    shown_ = color;
    icon_->setColor(color);
    QPalette pal = label_->palette();
    pal.setColor(QPalette::WindowText, color);
    label_->setPalette(pal);
}
