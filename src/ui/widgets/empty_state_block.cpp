#include "ui/widgets/empty_state_block.h"

#include "ui/theme/palette.h"
#include "ui/theme/type_scale.h"
#include "ui/widgets/icon_view.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {

constexpr int textWidth = 380;

} // namespace

EmptyStateBlock::EmptyStateBlock(QWidget* parent)
    : QWidget(parent), icon_(new IconView(QString(), 28, this)), title_(new QLabel(this)),
      text_(new QLabel(this))
{
    icon_->setObjectName(QStringLiteral("emptyStateIcon"));
    title_->setObjectName(QStringLiteral("emptyStateTitle"));
    text_->setObjectName(QStringLiteral("emptyStateText"));
    title_->setFont(TypeScale::emptyStateTitle());
    title_->setAlignment(Qt::AlignHCenter);
    text_->setFont(TypeScale::body());
    text_->setAlignment(Qt::AlignHCenter);
    text_->setWordWrap(true);
    text_->setFixedWidth(textWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(8);
    layout->addStretch(1);
    layout->addWidget(icon_, 0, Qt::AlignHCenter);
    layout->addWidget(title_);
    layout->addWidget(text_, 0, Qt::AlignHCenter);
    layout->addStretch(2);
}

void EmptyStateBlock::setContent(const QString& icon, const QString& title, const QString& text)
{
    icon_->setName(icon);
    title_->setText(title);
    text_->setText(text);
    text_->setFixedHeight(text_->heightForWidth(textWidth));
}

QString EmptyStateBlock::title() const
{
    return title_->text();
}

QString EmptyStateBlock::text() const
{
    return text_->text();
}

QString EmptyStateBlock::icon() const
{
    return icon_->name();
}

void EmptyStateBlock::applyPalette(const Palette& palette)
{
    icon_->setColor(palette.secondaryText);
    for (QLabel* label : {title_, text_}) {
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText,
                     label == title_ ? palette.primaryText : palette.secondaryText);
        label->setPalette(pal);
    }
}
