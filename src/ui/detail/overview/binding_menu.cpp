#include "ui/detail/overview/binding_menu.h"

#include "model/app_model.h"
#include "presentation/binding_items.h"
#include "runs/project_runtime.h"
#include "ui/ui_context.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>

void fillBindingMenu(QMenu& menu, UiContext& ui, const BindingItem& item)
{
    menu.clear();
    for (const CopyEntry& entry : item.copyValues) {
        const QString value = entry.value;
        menu.addAction(entry.label, &menu,
                       [value] { QGuiApplication::clipboard()->setText(value); });
    }
    AppModel* model = &ui.model;
    if (item.explorer)
        menu.addAction(QStringLiteral("Show in Explorer"), &menu,
                       [model] { model->setSelectedTab(DetailTab::explorer); });
    if (const auto& service = item.localService) {
        const QString id = service->projectID;
        menu.addSeparator();
        menu.addAction(QStringLiteral("Show ") + service->displayName, &menu,
                       [model, id] { model->select(id); });
        if (!model->runtimeFor(id)->status().isActive())
            menu.addAction(QStringLiteral("Start ") + service->displayName, &menu,
                           [model, id] { model->startProject(id); });
    }
}
