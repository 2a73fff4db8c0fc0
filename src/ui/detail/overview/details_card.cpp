#include "ui/detail/overview/details_card.h"

#include "ui/detail/overview/elided_label.h"
#include "ui/detail/overview/overview_style.h"
#include "ui/theme/palette.h"
#include "ui/theme/type_scale.h"
#include "ui/widgets/buttons.h"

#include <QClipboard>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>

DetailsCard::DetailsCard(QWidget* parent)
    : QFrame(parent), title_(new QLabel(QStringLiteral("Details"), this)), body_(new QWidget(this)),
      grid_(new QGridLayout(body_))
{
    setObjectName(QStringLiteral("detailsCard"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 12, 12);
    layout->setSpacing(8);
    title_->setFont(TypeScale::heading());
    layout->addWidget(title_);
    layout->addWidget(body_);
    grid_->setContentsMargins(0, 0, 0, 0);
    grid_->setHorizontalSpacing(8);
    grid_->setVerticalSpacing(2);
    grid_->setColumnMinimumWidth(0, labelWidth);
    grid_->setColumnStretch(1, 1);
}

void DetailsCard::setRows(const QList<DetailRow>& rows, const Palette& palette)
{
    if (rows == rows_ && grid_->count() > 0)
        return;
    rows_ = rows;
    while (QLayoutItem* item = grid_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (int i = 0; i < rows_.size(); ++i) {
        const DetailRow& row = rows_[i];
        auto* label = new QLabel(row.label, body_);
        label->setObjectName(QStringLiteral("detailLabel"));
        label->setFont(TypeScale::body());
        label->setFixedWidth(labelWidth);
        auto* value = new ElidedLabel(row.value, body_);
        value->setObjectName(QStringLiteral("detailValue:") + row.label);
        value->setFont(row.mono ? TypeScale::monospaced() : TypeScale::body());
        auto* copyButton = new IconButton(QStringLiteral("copy"), 24, 14, body_);
        copyButton->setObjectName(QStringLiteral("detailCopy:") + row.label);
        copyButton->setToolTip(QStringLiteral("Copy ") + row.label.toLower());
        connect(copyButton, &QToolButton::clicked, this, [this, i] { copy(i); });
        grid_->addWidget(label, i, 0);
        grid_->addWidget(value, i, 1);
        grid_->addWidget(copyButton, i, 2);
    }
    applyPalette(palette);
}

void DetailsCard::copy(int row)
{
    QGuiApplication::clipboard()->setText(rows_.value(row).value);
    QPointer<IconButton> button =
        body_->findChild<IconButton*>(QStringLiteral("detailCopy:") + rows_.value(row).label);
    if (!button)
        return;
    button->setIconName(QStringLiteral("check"));
    QTimer::singleShot(copiedMillis, button, [button] {
        if (button)
            button->setIconName(QStringLiteral("copy"));
    });
}

void DetailsCard::applyPalette(const Palette& palette)
{
    OverviewStyle::styleCard(this, palette.cardBackground, palette);
    OverviewStyle::setTextColor(title_, palette.primaryText);
    for (QLabel* label : body_->findChildren<QLabel*>()) {
        const bool isLabel = label->objectName() == QStringLiteral("detailLabel");
        OverviewStyle::setTextColor(label, isLabel ? palette.secondaryText : palette.primaryText);
    }
    for (IconButton* button : body_->findChildren<IconButton*>())
        button->applyPalette(palette);
}
