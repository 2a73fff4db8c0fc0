#include "ui/detail/tab_placeholder.h"

#include "ui/detail/tab_bar.h"
#include "ui/theme/theme_binder.h"
#include "ui/theme/type_scale.h"
#include "ui/widgets/icon_view.h"

#include <QLabel>
#include <QVBoxLayout>

TabPlaceholder::TabPlaceholder(DetailTab tab, Theme& theme, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("tabPlaceholder_") + rawValue(tab));
    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    auto* icon = new IconView(tabIcon(tab), 28, this);
    icon->setObjectName(QStringLiteral("placeholderIcon"));
    ThemeBinder::bind(icon, theme, [icon](const Palette& p) { icon->setColor(p.accent); });
    layout->addWidget(icon, 0, Qt::AlignHCenter);
    auto* title = new QLabel(tabTitle(tab), this);
    title->setObjectName(QStringLiteral("placeholderTitle"));
    title->setFont(TypeScale::emptyStateTitle());
    title->setAlignment(Qt::AlignHCenter);
    layout->addWidget(title);
    auto* text = new QLabel(explanation(tab), this);
    text->setObjectName(QStringLiteral("placeholderText"));
    text->setFont(TypeScale::body());
    text->setAlignment(Qt::AlignHCenter);
    text->setWordWrap(true);
    text->setFixedWidth(420);
    text->setFixedHeight(text->heightForWidth(420));
    ThemeBinder::bindTextColor(text, theme, &Palette::secondaryText);
    layout->addWidget(text, 0, Qt::AlignHCenter);
    layout->addStretch(2);
}

QString TabPlaceholder::explanation(DetailTab tab)
{
    switch (tab) {
    case DetailTab::overview:
        return QStringLiteral("Not built yet. This tab will show the project's details, its "
                              "bindings as a list or a diagram, and banners for missing "
                              "dependencies and port conflicts.");
    case DetailTab::logs:
        return QStringLiteral("Not built yet. This tab will show the dev server's output, with a "
                              "filter, follow, copy and clear.");
    case DetailTab::explorer:
        return QStringLiteral("Not built yet. This tab will show the Local Explorer of the running "
                              "dev server: its D1, KV, R2, Durable Object and Workflow data.");
    case DetailTab::settings:
        return QStringLiteral("Not built yet. This tab will let you override the project's run "
                              "mode, custom command and port.");
    }
    return {};
}
