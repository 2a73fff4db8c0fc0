#include "ui/project_actions.h"

#include "desktop/app_resolution.h"
#include "desktop/project_opener.h"
#include "model/app_model.h"
#include "runs/project_runtime.h"
#include "supervision/shell_environment.h"
#include "ui/theme/theme.h"
#include "ui/ui_context.h"
#include "ui/widgets/destructive_action.h"

#include <QMenu>

namespace ProjectActions {

void reveal(UiContext& ui, const QString& path)
{
    ProjectOpener(ui.workspace, ui.alerts).revealInFileManager(path);
}

void openInEditor(UiContext& ui, const QString& path, const QString& relativePath)
{
    const AppSettings& settings = ui.model.settings();
    ProjectOpener(ui.workspace, ui.alerts, ui.openSettings)
        .openInEditor(
            path, relativePath, settings, ui.model.installedEditors(),
            ShellEnvironment::childEnvironment(ui.model.rawShellEnv(), settings.nodePath));
}

void openInTerminal(UiContext& ui, const QString& path)
{
    ProjectOpener(ui.workspace, ui.alerts, ui.openSettings)
        .openInTerminal(path, ui.model.settings(), ui.model.installedTerminals());
}

QString editorTitle(const UiContext& ui)
{
    const AppSettings& settings = ui.model.settings();
    const auto editor = resolveApp(settings.editorApp, ui.model.installedEditors());
    const bool custom = !settings.editorCommand.trimmed().isEmpty();
    return QStringLiteral("Open in ") +
           (custom || !editor ? QStringLiteral("Editor") : editor->name);
}

QString terminalTitle(const UiContext& ui)
{
    const auto terminal =
        resolveApp(ui.model.settings().terminalApp, ui.model.installedTerminals());
    return QStringLiteral("Open in ") + (terminal ? terminal->name : QStringLiteral("Terminal"));
}

QMenu* contextMenu(UiContext& ui, const Project& project, QWidget* parent)
{
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("sidebarContextMenu"));
    const QString path = project.path;
    AppModel* model = &ui.model;
    UiContext* context = &ui;

    const bool active = model->runtimeFor(path)->status().isActive();
    menu->addAction(active ? QStringLiteral("Stop") : QStringLiteral("Start"), menu,
                    [model, path, active] {
                        if (active)
                            model->stopProject(path);
                        else
                            model->startProject(path);
                    });
    const bool favorite = project.isFavorite();
    menu->addAction(favorite ? QStringLiteral("Remove from Favorites")
                             : QStringLiteral("Add to Favorites"),
                    menu, [model, path, favorite] { model->setFavorite(path, !favorite); });
    menu->addAction(QStringLiteral("Reveal in File Manager"), menu,
                    [context, path] { reveal(*context, path); });
    menu->addSeparator();
    const bool hidden = project.hidden;
    menu->addAction(hidden ? QStringLiteral("Show Project") : QStringLiteral("Hide Project"), menu,
                    [model, path, hidden] { model->setHidden(path, !hidden); });
    // A project found under a root would come back with the next scan: only hand-added ones
    // can be removed.
    if (!project.rootPath) {
        QAction* remove = menu->addAction(QStringLiteral("Remove Project"), menu,
                                          [model, path] { model->removeProject(path); });
        remove->setObjectName(QStringLiteral("removeProjectAction"));
        markDestructive(menu, remove, context->theme.palette().error);
    }
    return menu;
}

} // namespace ProjectActions
