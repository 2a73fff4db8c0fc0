#include "ui/explorer/explorer_running.h"

#include "ui/theme/palette.h"
#include "ui/theme/type_scale.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/icon_view.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedLayout>
#include <QVBoxLayout>

ExplorerRunning::ExplorerRunning(QWidget* parent)
    : QWidget(parent), globe_(new IconView(QStringLiteral("globe"), 14, this)),
      addressLabel_(new QLabel(this)), reload_(new QPushButton(QStringLiteral("Reload"), this)),
      open_(new QPushButton(QStringLiteral("Open in Browser"), this)), container_(new QFrame(this)),
      messagePanel_(new QWidget(container_)), message_(new QLabel(messagePanel_)),
      retry_(new QPushButton(QStringLiteral("Reload"), messagePanel_))
{
    setObjectName(QStringLiteral("explorerRunning"));
    addressLabel_->setObjectName(QStringLiteral("explorerAddress"));
    addressLabel_->setFont(TypeScale::body());
    addressLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    reload_->setObjectName(QStringLiteral("explorerReload"));
    open_->setObjectName(QStringLiteral("explorerOpenInBrowser"));
    container_->setObjectName(QStringLiteral("explorerContainer"));
    message_->setObjectName(QStringLiteral("explorerMessage"));
    message_->setFont(TypeScale::body());
    message_->setWordWrap(true);
    message_->setAlignment(Qt::AlignHCenter);
    retry_->setObjectName(QStringLiteral("explorerRetry"));

    auto* bar = new QHBoxLayout;
    bar->setSpacing(8);
    bar->addWidget(globe_);
    bar->addWidget(addressLabel_, 1);
    bar->addWidget(reload_);
    bar->addWidget(open_);

    auto* messageColumn = new QVBoxLayout(messagePanel_);
    messageColumn->setSpacing(12);
    messageColumn->addStretch(1);
    messageColumn->addWidget(message_);
    messageColumn->addWidget(retry_, 0, Qt::AlignHCenter);
    messageColumn->addStretch(2);

    // The border and radius are drawn by the frame; the page inside keeps a margin of one
    // pixel so that it never paints over the border.
    stack_ = new QStackedLayout(container_);
    stack_->setContentsMargins(1, 1, 1, 1);
    stack_->addWidget(messagePanel_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 16);
    layout->setSpacing(10);
    layout->addLayout(bar);
    layout->addWidget(container_, 1);

    connect(reload_, &QPushButton::clicked, this, &ExplorerRunning::reloadClicked);
    connect(retry_, &QPushButton::clicked, this, &ExplorerRunning::reloadClicked);
    connect(open_, &QPushButton::clicked, this, &ExplorerRunning::openInBrowserClicked);
    clear();
}

void ExplorerRunning::setAddress(const QUrl& address)
{
    address_ = address;
    addressLabel_->setText(address.toString());
}

void ExplorerRunning::showPage(ExplorerPage* page)
{
    discardPage();
    page_ = page;
    stack_->addWidget(page);
    stack_->setCurrentWidget(page);
    connect(page, &ExplorerPage::failed, this, &ExplorerRunning::showMessage);
}

void ExplorerRunning::showMessage(const QString& message)
{
    discardPage();
    message_->setText(message);
    message_->show();
    retry_->show();
    stack_->setCurrentWidget(messagePanel_);
}

void ExplorerRunning::clear()
{
    discardPage();
    message_->hide();
    retry_->hide();
    stack_->setCurrentWidget(messagePanel_);
}

void ExplorerRunning::discardPage()
{
    // At once, not later: the page's renderer should end as soon as the page is left. A page
    // reports failure from its own signal, so a page in the middle of emitting waits for the
    // event loop.
    if (ExplorerPage* page = page_) {
        page_ = nullptr;
        stack_->removeWidget(page);
        page->hide();
        page->disconnect(this);
        if (sender() == page)
            page->deleteLater();
        else
            delete page;
    }
}

void ExplorerRunning::applyPalette(const Palette& p)
{
    globe_->setColor(p.secondaryText);
    container_->setStyleSheet(QStringLiteral("QFrame#explorerContainer { border: 1px solid %1;"
                                             " border-radius: 8px; }")
                                  .arg(p.border.name()));
    QPalette text = message_->palette();
    text.setColor(QPalette::WindowText, p.secondaryText);
    message_->setPalette(text);
    styleButton(reload_, ButtonStyle::secondary, p, QStringLiteral("refresh-cw"));
    styleButton(retry_, ButtonStyle::secondary, p, QStringLiteral("refresh-cw"));
    styleButton(open_, ButtonStyle::secondary, p, QStringLiteral("arrow-up-right"));
}
