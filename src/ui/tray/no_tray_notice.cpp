#include "ui/tray/no_tray_notice.h"

#include "ui/theme/theme.h"
#include "ui/theme/type_scale.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>

NoTrayNotice::NoTrayNotice(Theme& theme, QWidget* parent)
    : QWidget(parent), theme_(theme), label_(new QLabel(QString::fromUtf8(text), this))
{
    setObjectName(QStringLiteral("noTrayNotice"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(14, 6, 8, 6);
    label_->setObjectName(QStringLiteral("noTrayNoticeText"));
    label_->setFont(TypeScale::caption());
    layout->addWidget(label_, 1);
    auto* dismiss = new QToolButton(this);
    dismiss->setObjectName(QStringLiteral("noTrayNoticeDismiss"));
    dismiss->setText(QStringLiteral("×"));
    dismiss->setToolTip(QStringLiteral("Dismiss"));
    dismiss->setAutoRaise(true);
    layout->addWidget(dismiss);
    connect(dismiss, &QToolButton::clicked, this, &QWidget::deleteLater);
    connect(&theme_, &Theme::schemeChanged, this, &NoTrayNotice::applyScheme);
    applyScheme();
}

NoTrayNotice* NoTrayNotice::addTo(QWidget* window, Theme& theme)
{
    auto* layout = qobject_cast<QBoxLayout*>(window->layout());
    if (!layout)
        return nullptr;
    auto* notice = new NoTrayNotice(theme, window);
    layout->insertWidget(0, notice);
    return notice;
}

void NoTrayNotice::applyScheme()
{
    QPalette palette = label_->palette();
    palette.setColor(QPalette::WindowText, theme_.palette().secondaryText);
    label_->setPalette(palette);
    update();
}

void NoTrayNotice::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const Palette& colors = theme_.palette();
    painter.fillRect(rect(), colors.logBackground);
    painter.fillRect(QRect(0, height() - 1, width(), 1), colors.border);
}
