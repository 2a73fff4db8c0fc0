#include "ui/sidebar/section_title.h"

#include "ui/theme/palette.h"
#include "ui/theme/type_scale.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QVariantAnimation>

SectionTitle::SectionTitle(QWidget* parent)
    : QWidget(parent), titleLabel_(new QLabel(this)), countLabel_(new QLabel(this)),
      countAnimation_(new QVariantAnimation(this))
{
    setObjectName(QStringLiteral("sectionTitle"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 4);
    layout->setSpacing(6);
    titleLabel_->setFont(TypeScale::sectionHeader());
    countLabel_->setFont(TypeScale::sectionHeader());
    countAnimation_->setDuration(250);
    countAnimation_->setEasingCurve(QEasingCurve::OutCubic);
    connect(countAnimation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        countLabel_->setText(QLocale().toString(value.toInt()));
    });
    layout->addWidget(titleLabel_);
    layout->addWidget(countLabel_);
    layout->addStretch();
}

void SectionTitle::setContent(const QString& title, std::optional<int> count)
{
    const std::optional<int> previous = count_;
    title_ = title;
    count_ = count;
    titleLabel_->setText(title.toUpper());
    countLabel_->setVisible(count.has_value());
    countAnimation_->stop();
    if (previous && count && *previous != *count && isVisible()) {
        // The figure counts to its new value.
        countAnimation_->setStartValue(*previous);
        countAnimation_->setEndValue(*count);
        countAnimation_->start();
        return;
    }
    countLabel_->setText(count ? QLocale().toString(*count) : QString());
}

void SectionTitle::applyPalette(const Palette& palette)
{
    for (QLabel* label : {titleLabel_, countLabel_}) {
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, palette.tertiaryText);
        label->setPalette(pal);
    }
}
