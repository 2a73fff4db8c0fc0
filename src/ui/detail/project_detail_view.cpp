#include "ui/detail/project_detail_view.h"

#include "core/model/app_model.h"
#include "ui/detail/project_header.h"
#include "ui/detail/tab_bar.h"
#include "ui/detail/tab_placeholder.h"
#include "ui/logs/logs_tab.h"
#include "ui/project_settings/project_settings_tab.h"
#include "ui/theme/theme.h"
#include "ui/ui_context.h"

#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

ProjectDetailView::ProjectDetailView(UiContext& ui, const QString& projectID, QWidget* parent)
    : QWidget(parent), ui_(ui), projectID_(projectID),
      header_(new ProjectHeader(ui, projectID, this)),
      tabBar_(new TabBar(ui.theme.palette(), this)), tabs_(new QStackedWidget(this)),
      memoryTimer_(new QTimer(this))
{
    setObjectName(QStringLiteral("projectDetailView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(header_);
    layout->addWidget(tabBar_);
    layout->addWidget(tabs_, 1);
    for (DetailTab tab : allDetailTabs()) {
        if (tab == DetailTab::logs)
            tabs_->addWidget(new LogsTab(ui, projectID, tabs_));
        else if (tab == DetailTab::settings)
            tabs_->addWidget(new ProjectSettingsTab(ui, projectID, tabs_));
        else
            tabs_->addWidget(new TabPlaceholder(tab, ui.theme, tabs_));
    }

    AppModel* model = &ui_.model;
    connect(tabBar_, &TabBar::tabClicked, model, &AppModel::setSelectedTab);
    connect(model, &AppModel::selectedTabChanged, this, &ProjectDetailView::showTab);
    connect(&ui_.theme, &Theme::schemeChanged, this, &ProjectDetailView::applyColours);
    header_->refresh();
    showTab();

    // Bound to this project: they end with the view.
    model->refreshInfo(projectID_);
    if (ui_.refreshMemory) {
        const auto refresh = [this] { ui_.refreshMemory(projectID_); };
        connect(memoryTimer_, &QTimer::timeout, this, refresh);
        memoryTimer_->start(memoryInterval);
        refresh();
    }
}

QWidget* ProjectDetailView::currentTab() const
{
    return tabs_->currentWidget();
}

void ProjectDetailView::showTab()
{
    const DetailTab tab = ui_.model.selectedTab();
    tabBar_->setSelected(tab);
    tabs_->setCurrentIndex(int(allDetailTabs().indexOf(tab)));
}

void ProjectDetailView::applyColours()
{
    tabBar_->applyPalette(ui_.theme.palette());
}
