#include "ui/about/about_window.h"

#include "ui/about/app_icon_art.h"
#include "ui/about/product.h"
#include "ui/theme/theme.h"
#include "ui/theme/theme_binder.h"
#include "ui/theme/type_scale.h"
#include "ui/widgets/lucide.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel* centredLabel(const QString& text, const QFont& font, const QString& objectName,
                     QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setAlignment(Qt::AlignHCenter);
    label->setWordWrap(true);
    label->setObjectName(objectName);
    return label;
}

} // namespace

AboutWindow::AboutWindow(Theme& theme, const QUrl& website, const QUrl& support, QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("aboutWindow"));
    setWindowTitle(QStringLiteral("About ") + Product::name);
    setMaximumWidth(380);
    setAutoFillBackground(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 28, 28, 24);
    layout->setSpacing(10);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setAlignment(Qt::AlignHCenter);
    // Drawn here rather than taken from the application's window icon, which is set only once
    // the main window has painted (and never when it has not been shown).
    const qreal ratio = devicePixelRatioF();
    QPixmap art = QPixmap::fromImage(AppIconArt::render(qRound(72 * ratio)));
    art.setDevicePixelRatio(ratio);
    icon->setPixmap(art);
    layout->addWidget(icon);

    layout->addWidget(
        centredLabel(Product::name, TypeScale::heading(), QStringLiteral("aboutName"), this));
    // Everything below the name is secondary text.
    const auto secondary = [&theme](QLabel* label) {
        ThemeBinder::bindTextColor(label, theme, &Palette::secondaryText);
        return label;
    };
    layout->addWidget(
        secondary(centredLabel(QStringLiteral("Version ") + Product::versionText(),
                               TypeScale::caption(), QStringLiteral("aboutVersion"), this)));
    layout->addWidget(secondary(centredLabel(
        QStringLiteral("Manage all your local Cloudflare Workers projects in one place."),
        TypeScale::body(), QStringLiteral("aboutTagline"), this)));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* websiteButton = new QPushButton(QStringLiteral("Website"), this);
    websiteButton->setObjectName(QStringLiteral("aboutWebsite"));
    connect(websiteButton, &QPushButton::clicked, this,
            [this, website] { emit openRequested(website); });
    buttons->addWidget(websiteButton);
    if (!support.isEmpty()) {
        auto* supportButton = new QPushButton(QStringLiteral("Support ") + Product::name, this);
        supportButton->setObjectName(QStringLiteral("aboutSupport"));
        supportButton->setIcon(Lucide::icon(QStringLiteral("heart"), theme.palette().accent, 14));
        connect(supportButton, &QPushButton::clicked, this,
                [this, support] { emit openRequested(support); });
        buttons->addWidget(supportButton);
    }
    buttons->addStretch();
    layout->addLayout(buttons);

    const QStringList credits = {
        Product::name +
            QStringLiteral(" is an independent project and is not affiliated with or endorsed "
                           "by Cloudflare."),
        QStringLiteral("Icons by Lucide (ISC). Framework and Cloudflare logos from Simple Icons "
                       "(CC0); they are trademarks of their owners and only identify what a "
                       "project is built with."),
        Product::licenceLine(),
    };
    for (const QString& line : credits)
        layout->addWidget(secondary(
            centredLabel(line, TypeScale::caption(), QStringLiteral("aboutCredit"), this)));
}
