#include "ui/detail/tab_factory.h"

#include "ui/detail/overview/overview_tab.h"
#include "ui/explorer/explorer_tab.h"
#include "ui/logs/logs_tab.h"
#include "ui/project_settings/project_settings_tab.h"
#include "ui/ui_context.h"

QWidget* createDetailTab(DetailTab tab, UiContext& ui, const QString& projectID, QWidget* parent)
{
    switch (tab) {
    case DetailTab::overview: return new OverviewTab(ui, projectID, parent);
    case DetailTab::logs: return new LogsTab(ui, projectID, parent);
    case DetailTab::explorer: return new ExplorerTab(ui, projectID, parent);
    case DetailTab::settings: return new ProjectSettingsTab(ui, projectID, parent);
    }
    return nullptr;
}
