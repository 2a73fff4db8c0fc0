#include "ui/sidebar/section_title.h"

#include "ui/theme/palette.h"
#include "ui/theme/type_scale.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>

SectionTitle::SectionTitle(QWidget* parent)
    : QWidget(parent), titleLabel_(new QLabel(this)), countLabel_(new QLabel(this))
{
    setObjectName(QStringLiteral("sectionTitle"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 4);
    layout->setSpacing(6);
    titleLabel_->setFont(TypeScale::sectionHeader());
    countLabel_->setFont(TypeScale::sectionHeader());
    layout->addWidget(titleLabel_);
    layout->addWidget(countLabel_);
    layout->addStretch();
}

void SectionTitle::setContent(const QString& title, std::optional<int> count)
{
    title_ = title;
    count_ = count;
    titleLabel_->setText(title.toUpper());
    countLabel_->setText(count ? QLocale().toString(*count) : QString());
    countLabel_->setVisible(count.has_value());
}

void SectionTitle::applyPalette(const Palette& palette)
{
    for (QLabel* label : {titleLabel_, countLabel_}) {
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, palette.tertiaryText);
        label->setPalette(pal);
    }
}
