#include "ui/add_actions.h"

#include "model/app_model.h"
#include "desktop/alert_presenter.h"
#include "ui/ui_context.h"

#include <QFileDialog>

namespace AddActions {

void addRootFolder(UiContext& ui)
{
    if (!ui.chooseFolder)
        return;
    AppModel* model = &ui.model;
    ui.chooseFolder(QStringLiteral("Add Folder"),
                    QStringLiteral("Choose a folder to scan for Wrangler projects"),
                    [model](const QString& folder) { model->addRoot(folder); });
}

void addSingleProject(UiContext& ui)
{
    if (!ui.chooseFolder)
        return;
    AppModel* model = &ui.model;
    AlertPresenter* alerts = &ui.alerts;
    ui.chooseFolder(QStringLiteral("Add Project"),
                    QStringLiteral("Choose a project folder containing a wrangler config"),
                    [model, alerts](const QString& folder) {
                        if (const auto message = model->addProject(folder))
                            alerts->show(Alert{*message, {}, {}, AlertStyle::warning});
                    });
}

void chooseFolderWithDialog(QWidget* parent, const QString& prompt, const QString& message,
                            const std::function<void(const QString&)>& chosen)
{
    auto* dialog = new QFileDialog(parent, message);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setLabelText(QFileDialog::Accept, prompt);
    dialog->setWindowModality(Qt::WindowModal);
    QObject::connect(dialog, &QFileDialog::fileSelected, dialog, [chosen](const QString& folder) {
        if (!folder.isEmpty())
            chosen(folder);
    });
    dialog->open();
}

} // namespace AddActions
