#include "ui/detail/tab_factory.h"

#include "ui/detail/overview/overview_tab.h"
#include "ui/detail/tab_placeholder.h"
#include "ui/ui_context.h"

QWidget* createDetailTab(DetailTab tab, UiContext& ui, const QString& projectID, QWidget* parent)
{
    Q_UNUSED(projectID);
    switch (tab) {
    case DetailTab::overview: return new OverviewTab(ui, projectID, parent);
    case DetailTab::logs: return new TabPlaceholder(tab, ui.theme, parent);
    case DetailTab::explorer: return new TabPlaceholder(tab, ui.theme, parent);
    case DetailTab::settings: return new TabPlaceholder(tab, ui.theme, parent);
    }
    return nullptr;
}
