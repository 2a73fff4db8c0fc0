#include "ui/explorer/explorer_too_old.h"

#include "ui/explorer/wrapped_label.h"
#include "ui/theme/palette.h"
#include "ui/theme/type_scale.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/icon_view.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int cardWidth = 520;
constexpr int cardMargin = 18;
constexpr int iconSize = 20;
constexpr int spacing = 8;
constexpr int textWidth = cardWidth - 2 * cardMargin;
} // namespace

ExplorerTooOld::ExplorerTooOld(QWidget* parent)
    : QWidget(parent), card_(new QFrame(this)),
      icon_(new IconView(QStringLiteral("triangle-alert"), iconSize, card_)),
      title_(new QLabel(card_)), text_(new QLabel(card_)), command_(new QLineEdit(card_)),
      copy_(new QPushButton(QStringLiteral("Copy"), card_)), hint_(new QLabel(card_))
{
    setObjectName(QStringLiteral("explorerTooOld"));
    card_->setObjectName(QStringLiteral("explorerTooOldCard"));
    card_->setFixedWidth(cardWidth);
    title_->setObjectName(QStringLiteral("explorerTooOldTitle"));
    title_->setFont(TypeScale::heading());
    text_->setObjectName(QStringLiteral("explorerTooOldText"));
    text_->setFont(TypeScale::body());
    // Read-only but selectable, so the command can be copied by hand as well.
    command_->setObjectName(QStringLiteral("explorerInstallCommand"));
    command_->setFont(TypeScale::monospaced());
    command_->setReadOnly(true);
    copy_->setObjectName(QStringLiteral("explorerCopyCommand"));
    hint_->setObjectName(QStringLiteral("explorerTooOldHint"));
    hint_->setFont(TypeScale::caption());
    hint_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* heading = new QHBoxLayout;
    heading->setSpacing(spacing);
    heading->addWidget(icon_, 0, Qt::AlignTop);
    heading->addWidget(title_, 1);
    auto* commandRow = new QHBoxLayout;
    commandRow->setSpacing(spacing);
    commandRow->addWidget(command_, 1);
    commandRow->addWidget(copy_);
    auto* column = new QVBoxLayout(card_);
    column->setContentsMargins(cardMargin, 16, cardMargin, 16);
    column->setSpacing(10);
    column->addLayout(heading);
    column->addWidget(text_);
    column->addLayout(commandRow);
    column->addWidget(hint_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->addStretch(1);
    layout->addWidget(card_, 0, Qt::AlignHCenter);
    layout->addStretch(2);
    connect(copy_, &QPushButton::clicked, this, &ExplorerTooOld::copyCommand);
}

void ExplorerTooOld::setSupport(const ExplorerSupport& support, const QString& folder)
{
    title_->setText(QStringLiteral("Local Explorer needs a newer ") + support.package);
    text_->setText(QStringLiteral("This project has ") + support.package + u' ' +
                   support.installed + QStringLiteral(". Local Explorer requires ") +
                   support.required + QStringLiteral(" or newer."));
    command_->setText(support.command);
    command_->setCursorPosition(0);
    hint_->setText(QStringLiteral("Run it in ") + folder +
                   QStringLiteral(", then restart the project."));
    fitWrappedLabel(title_, textWidth - iconSize - spacing);
    fitWrappedLabel(text_, textWidth);
    fitWrappedLabel(hint_, textWidth);
}

void ExplorerTooOld::applyPalette(const Palette& p)
{
    icon_->setColor(p.starting);
    card_->setStyleSheet(
        QStringLiteral("QFrame#explorerTooOldCard { background: %1; border: 1px solid %2;"
                       " border-radius: 10px; }")
            .arg(p.logBackground.name(), p.border.name()));
    command_->setStyleSheet(
        QStringLiteral("QLineEdit { background: %1; color: %2; border: 1px solid %3;"
                       " border-radius: 6px; padding: 5px 8px; }")
            .arg(p.cardBackground.name(), p.primaryText.name(), p.border.name()));
    for (QLabel* label : {text_, hint_}) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, p.secondaryText);
        label->setPalette(palette);
    }
    styleButton(copy_, ButtonStyle::secondary, p, QStringLiteral("copy"));
}

void ExplorerTooOld::copyCommand()
{
    QGuiApplication::clipboard()->setText(command_->text());
}
