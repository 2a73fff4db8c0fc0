#include "ui/explorer/explorer_not_running.h"

#include "ui/explorer/wrapped_label.h"
#include "ui/theme/palette.h"
#include "ui/theme/type_scale.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/icon_view.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int blockWidth = 380;
}

ExplorerNotRunning::ExplorerNotRunning(QWidget* parent)
    : QWidget(parent), icon_(new IconView(QStringLiteral("compass"), 28, this)),
      text_(new QLabel(this)), start_(new QPushButton(QStringLiteral("Start Project"), this))
{
    setObjectName(QStringLiteral("explorerNotRunning"));
    auto* block = new QWidget(this);
    auto* column = new QVBoxLayout(block);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);

    icon_->setParent(block);
    column->addWidget(icon_, 0, Qt::AlignHCenter);
    auto* title = new QLabel(QStringLiteral("Explorer is available while running"), block);
    title->setObjectName(QStringLiteral("explorerNotRunningTitle"));
    title->setFont(TypeScale::emptyStateTitle());
    title->setAlignment(Qt::AlignHCenter);
    fitWrappedLabel(title, blockWidth);
    column->addWidget(title);
    text_->setParent(block);
    text_->setObjectName(QStringLiteral("explorerNotRunningText"));
    text_->setText(QStringLiteral("Start the project to browse its local D1, KV, R2, Durable "
                                  "Object and Workflow data."));
    text_->setFont(TypeScale::body());
    text_->setAlignment(Qt::AlignHCenter);
    fitWrappedLabel(text_, blockWidth);
    column->addWidget(text_);
    start_->setParent(block);
    start_->setObjectName(QStringLiteral("explorerStartProject"));
    column->addSpacing(6);
    column->addWidget(start_, 0, Qt::AlignHCenter);

    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    layout->addWidget(block, 0, Qt::AlignHCenter);
    layout->addStretch(2);
    connect(start_, &QPushButton::clicked, this, &ExplorerNotRunning::startClicked);
}

void ExplorerNotRunning::setStartVisible(bool visible)
{
    start_->setVisible(visible);
}

void ExplorerNotRunning::applyPalette(const Palette& palette)
{
    icon_->setColor(palette.accent);
    QPalette text = text_->palette();
    text.setColor(QPalette::WindowText, palette.secondaryText);
    text_->setPalette(text);
    styleButton(start_, ButtonStyle::primary, palette, QStringLiteral("play"));
}
