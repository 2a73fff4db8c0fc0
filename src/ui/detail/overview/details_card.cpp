#include "ui/detail/overview/details_card.h"

#include "ui/detail/overview/elided_label.h"
#include "ui/detail/overview/overview_style.h"
#include "ui/theme/palette.h"
#include "ui/theme/theme_binder.h"
#include "ui/theme/type_scale.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/icon_view.h"
#include "ui/widgets/kind_icon.h"

#include <QClipboard>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>

DetailsCard::DetailsCard(Theme& theme, QWidget* parent)
    : QFrame(parent), theme_(theme), title_(new QLabel(QStringLiteral("Details"), this)),
      body_(new QWidget(this)), grid_(new QGridLayout(body_))
{
    setObjectName(QStringLiteral("detailsCard"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 12, 12);
    layout->setSpacing(8);
    title_->setObjectName(QStringLiteral("detailsTitle"));
    title_->setFont(TypeScale::heading());
    // The card's style sheet first: restyling a parent gives its children back the palette they
    // had before, so their own colours must be applied after it on every change.
    ThemeBinder::bind(this, theme_, [this](const Palette& p) {
        OverviewStyle::styleCard(this, p.cardBackground, p);
    });
    ThemeBinder::bindTextColor(title_, theme_, &Palette::primaryText);
    layout->addWidget(title_);
    layout->addWidget(body_);
    grid_->setContentsMargins(0, 0, 0, 0);
    grid_->setHorizontalSpacing(8);
    grid_->setVerticalSpacing(2);
    grid_->setColumnMinimumWidth(0, labelWidth);
    grid_->setColumnStretch(1, 1);
}

void DetailsCard::setRows(const QList<DetailRow>& rows)
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
        ThemeBinder::bindTextColor(label, theme_, &Palette::secondaryText);
        auto* value = new ElidedLabel(row.value, body_);
        value->setObjectName(QStringLiteral("detailValue:") + row.label);
        value->setFont(row.mono ? TypeScale::monospaced() : TypeScale::body());
        ThemeBinder::bindTextColor(value, theme_, &Palette::primaryText);
        QWidget* shown = value;
        if (!row.badges.isEmpty()) {
            // What the project is built with: its logo, then the names.
            shown = new QWidget(body_);
            auto* line = new QHBoxLayout(shown);
            line->setContentsMargins(0, 0, 0, 0);
            line->setSpacing(6);
            auto* icon = new IconView(QString(), 14, shown);
            icon->setObjectName(QStringLiteral("detailIcon:") + row.label);
            icon->setKindIcon(kindIcon(row.badges));
            ThemeBinder::bind(icon, theme_,
                              [icon](const Palette& p) { icon->setColor(p.primaryText); });
            value->setParent(shown);
            line->addWidget(icon);
            line->addWidget(value, 1);
        }
        auto* copyButton = new IconButton(QStringLiteral("copy"), 24, 14, body_);
        copyButton->setObjectName(QStringLiteral("detailCopy:") + row.label);
        copyButton->setToolTip(QStringLiteral("Copy ") + row.label.toLower());
        ThemeBinder::bind(copyButton, theme_,
                          [copyButton](const Palette& p) { copyButton->applyPalette(p); });
        connect(copyButton, &QToolButton::clicked, this, [this, i] { copy(i); });
        grid_->addWidget(label, i, 0);
        grid_->addWidget(shown, i, 1);
        grid_->addWidget(copyButton, i, 2);
    }
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
