#include "ui/sidebar/sidebar_view.h"

#include "model/app_model.h"
#include "ui/add_actions.h"
#include "ui/sidebar/sidebar_list.h"
#include "ui/theme/theme.h"
#include "ui/theme/type_scale.h"
#include "ui/ui_context.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/icon_view.h"
#include "ui/widgets/lucide.h"
#include "ui/window_actions.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QVBoxLayout>

SidebarView::SidebarView(UiContext& ui, PulseClock& clock, QWidget* parent)
    : QWidget(parent), ui_(ui)
{
    setObjectName(QStringLiteral("sidebarView"));
    setMinimumWidth(230);
    setMaximumWidth(340);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 10, 1, 0); // the divider on the right stays visible
    layout->setSpacing(0);

    // Search field: icon, plain text field, clear button while there is a query.
    auto* searchBox = new QWidget(this);
    searchBox->setObjectName(QStringLiteral("sidebarSearchBox"));
    auto* searchLayout = new QHBoxLayout(searchBox);
    searchLayout->setContentsMargins(14, 4, 10, 6);
    searchLayout->setSpacing(6);
    searchIcon_ = new IconView(QStringLiteral("search"), 14, searchBox);
    search_ = new QLineEdit(searchBox);
    search_->setObjectName(QStringLiteral("sidebarSearch"));
    search_->setPlaceholderText(QStringLiteral("Search"));
    search_->setFrame(false);
    search_->setFont(TypeScale::body());
    clearButton_ = new IconButton(QStringLiteral("x"), 18, 12, searchBox);
    clearButton_->setObjectName(QStringLiteral("sidebarSearchClear"));
    clearButton_->hide();
    searchLayout->addWidget(searchIcon_);
    searchLayout->addWidget(search_, 1);
    searchLayout->addWidget(clearButton_);
    layout->addWidget(searchBox);

    list_ = new SidebarList(ui_, clock, this);
    layout->addWidget(list_, 1);

    connect(search_, &QLineEdit::textChanged, this, [this](const QString& text) {
        clearButton_->setVisible(!text.isEmpty());
        list_->setQuery(text);
    });
    connect(clearButton_, &IconButton::clicked, search_, &QLineEdit::clear);

    // Bottom bar: add menu, scanning indicator, settings.
    auto* bottom = new QWidget(this);
    bottom->setObjectName(QStringLiteral("sidebarBottomBar"));
    auto* bottomLayout = new QHBoxLayout(bottom);
    bottomLayout->setContentsMargins(10, 6, 10, 8);
    bottomLayout->setSpacing(6);
    addButton_ = new IconButton(QStringLiteral("plus"), 28, 16, bottom);
    addButton_->setObjectName(QStringLiteral("sidebarAddButton"));
    addButton_->setToolTip(QStringLiteral("Add project or folder"));
    addMenu_ = new QMenu(addButton_);
    addMenu_->setObjectName(QStringLiteral("sidebarAddMenu"));
    addButton_->setMenu(addMenu_);
    addButton_->setPopupMode(QToolButton::InstantPopup);
    connect(addMenu_, &QMenu::aboutToShow, this, &SidebarView::refreshAddMenu);

    scanning_ = new QWidget(bottom);
    scanning_->setObjectName(QStringLiteral("sidebarScanning"));
    auto* scanningLayout = new QHBoxLayout(scanning_);
    scanningLayout->setContentsMargins(0, 0, 0, 0);
    scanningLayout->setSpacing(6);
    auto* progress = new QProgressBar(scanning_);
    progress->setRange(0, 0);
    progress->setTextVisible(false);
    progress->setFixedSize(40, 6);
    scanningLabel_ = new QLabel(QStringLiteral("Scanning"), scanning_);
    scanningLabel_->setFont(TypeScale::caption());
    scanningLayout->addWidget(progress);
    scanningLayout->addWidget(scanningLabel_);

    settingsButton_ = new IconButton(QStringLiteral("settings"), 28, 16, bottom);
    settingsButton_->setObjectName(QStringLiteral("sidebarSettingsButton"));
    settingsButton_->setToolTip(QStringLiteral("Settings"));
    connect(settingsButton_, &IconButton::clicked, this, [this] {
        if (ui_.openSettings)
            ui_.openSettings();
    });

    bottomLayout->addWidget(addButton_);
    bottomLayout->addWidget(scanning_);
    bottomLayout->addStretch(1);
    bottomLayout->addWidget(settingsButton_);
    layout->addWidget(bottom);

    connect(&ui_.model, &AppModel::isScanningChanged, this, &SidebarView::updateScanning);
    connect(&ui_.theme, &Theme::schemeChanged, this, &SidebarView::applyColours);
    updateScanning();
    refreshAddMenu();
    applyColours();
}

void SidebarView::refreshAddMenu()
{
    const Palette& p = ui_.theme.palette();
    addMenu_->clear();
    UiContext* ui = &ui_;
    addMenu_->addAction(Lucide::icon(QStringLiteral("folder-plus"), p.primaryText, 16),
                        QStringLiteral("Add Root Folder…"), this,
                        [ui] { AddActions::addRootFolder(*ui); });
    addMenu_->addAction(Lucide::icon(QStringLiteral("plus"), p.primaryText, 16),
                        QStringLiteral("Add Single Project…"), this,
                        [ui] { AddActions::addSingleProject(*ui); });
    addMenu_->addSeparator();
    addMenu_->addAction(Lucide::icon(QStringLiteral("refresh-cw"), p.primaryText, 16),
                        QStringLiteral("Rescan Folders"), this,
                        [ui] { ui->windowActions->rescan()->trigger(); });
    const QList<Project>& projects = ui_.model.projects();
    const bool anyHidden = std::any_of(projects.begin(), projects.end(),
                                       [](const Project& project) { return project.hidden; });
    if (anyHidden) {
        addMenu_->addSeparator();
        QAction* showHidden = addMenu_->addAction(QStringLiteral("Show Hidden Projects"));
        showHidden->setCheckable(true);
        showHidden->setChecked(ui_.model.showHidden());
        connect(showHidden, &QAction::toggled, this,
                [ui](bool checked) { ui->model.setShowHidden(checked); });
    }
}

void SidebarView::updateScanning()
{
    scanning_->setVisible(ui_.model.isScanning());
}

void SidebarView::applyColours()
{
    const Palette& p = ui_.theme.palette();
    for (IconButton* button : {clearButton_, addButton_, settingsButton_})
        button->applyPalette(p);
    searchIcon_->setColor(p.tertiaryText);
    QPalette pal = search_->palette();
    pal.setColor(QPalette::Base, Qt::transparent);
    pal.setColor(QPalette::Text, p.primaryText);
    pal.setColor(QPalette::PlaceholderText, p.tertiaryText);
    search_->setPalette(pal);
    QPalette label = scanningLabel_->palette();
    label.setColor(QPalette::WindowText, p.secondaryText);
    scanningLabel_->setPalette(label);
    update();
}

void SidebarView::paintEvent(QPaintEvent*)
{
    // The sidebar's own background with a divider on its right edge.
    const Palette& p = ui_.theme.palette();
    QPainter painter(this);
    painter.fillRect(rect(), p.sidebarBackground);
    painter.fillRect(QRect(width() - 1, 0, 1, height()), p.border);
}
