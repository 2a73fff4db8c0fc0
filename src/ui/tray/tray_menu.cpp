#include "ui/tray/tray_menu.h"

#include "desktop/workspace.h"
#include "model/app_model.h"
#include "model/service_links.h"
#include "model/service_start.h"
#include "runs/project_runtime.h"
#include "ui/ui_context.h"

#include <QMenu>
#include <QTimer>

TrayMenu::TrayMenu(UiContext& ui, Hooks hooks, QObject* parent)
    : QObject(parent), ui_(ui), hooks_(std::move(hooks)), menu_(new QMenu)
{
    menu_->setObjectName(QStringLiteral("trayMenu"));
    AppModel* model = &ui_.model;
    connect(model, &AppModel::projectsChanged, this, &TrayMenu::scheduleRebuild);
    connect(model, &AppModel::showHiddenChanged, this, &TrayMenu::scheduleRebuild);
    connect(model, &AppModel::infosChanged, this, &TrayMenu::scheduleRebuild);
    rebuild();
}

TrayMenu::~TrayMenu()
{
    delete menu_;
}

void TrayMenu::scheduleRebuild()
{
    rebuildLater_.schedule();
}

void TrayMenu::watchRuntimes()
{
    delete runtimeWatch_;
    runtimeWatch_ = new QObject(this);
    for (const QList<TrayProjectEntry>& group : std::as_const(content_.groups))
        for (const TrayProjectEntry& entry : group) {
            ProjectRuntime* runtime = ui_.model.runtimeFor(entry.path);
            connect(runtime, &ProjectRuntime::statusChanged, runtimeWatch_,
                    [this] { scheduleRebuild(); });
            connect(runtime, &ProjectRuntime::urlChanged, runtimeWatch_,
                    [this] { scheduleRebuild(); });
        }
}

void TrayMenu::rebuild()
{
    TrayMenuContent content = trayMenuContent(ui_.model);
    if (built_ && content == content_)
        return;
    content_ = std::move(content);
    built_ = true;
    watchRuntimes();

    // Submenus are children of the menu: clear() removes their actions, not the menus.
    for (QMenu* submenu : menu_->findChildren<QMenu*>(Qt::FindDirectChildrenOnly))
        submenu->deleteLater();
    menu_->clear();

    if (content_.groups.isEmpty())
        menu_->addAction(QStringLiteral("No projects yet")); // triggers nothing
    for (qsizetype i = 0; i < content_.groups.size(); ++i) {
        if (i > 0)
            menu_->addSeparator();
        for (const TrayProjectEntry& entry : std::as_const(content_.groups[i]))
            addProjectMenu(entry);
    }
    menu_->addSeparator();
    AppModel* model = &ui_.model;
    QAction* show = menu_->addAction(QStringLiteral("Show Main Window"), this,
                                     [this] { hooks_.showMainWindow(); });
    show->setObjectName(QStringLiteral("trayShowMainWindow"));
    QAction* stopAll =
        menu_->addAction(QStringLiteral("Stop All"), this, [model] { model->stopEachActive(); });
    stopAll->setObjectName(QStringLiteral("trayStopAll"));
    QAction* rescan =
        menu_->addAction(QStringLiteral("Rescan Folders"), this, [model] { model->rescan(); });
    rescan->setObjectName(QStringLiteral("trayRescan"));
    menu_->addSeparator();
    QAction* quit =
        menu_->addAction(QStringLiteral("Quit Tallowmere"), this, [this] { hooks_.quit(); });
    quit->setObjectName(QStringLiteral("trayQuit"));
    // Shown beside the entry; the shortcut itself belongs to the main window's command.
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setShortcutContext(Qt::WidgetShortcut);
    emit rebuilt();
}

void TrayMenu::addProjectMenu(const TrayProjectEntry& entry)
{
    auto* submenu = new QMenu(entry.title, menu_);
    menu_->addMenu(submenu);
    AppModel* model = &ui_.model;
    const QString path = entry.path;
    if (entry.active) {
        submenu->addAction(QStringLiteral("Stop"), this,
                           [model, path] { model->stopProject(path); });
        submenu->addAction(QStringLiteral("Restart"), this,
                           [model, path] { model->restartProject(path); });
    } else {
        submenu->addAction(QStringLiteral("Start"), this,
                           [model, path] { model->startProject(path); });
    }
    if (entry.hasLocalServices)
        submenu->addAction(QStringLiteral("Start with Local Services"), this,
                           [model, path] { startWithServices(*model, path); });
    submenu->addSeparator();
    submenu->addAction(QStringLiteral("Open in Browser"), this,
                       [this, path] { openOnAddress(path, QString()); });
    submenu->addAction(QStringLiteral("Open Explorer"), this,
                       [this, path] { openOnAddress(path, QStringLiteral("/cdn-cgi/explorer")); });
    for (const ProjectLink& link : entry.links)
        submenu->addAction(link.title, this,
                           [this, path, suffix = link.path] { openOnAddress(path, suffix); });
    submenu->addSeparator();
    submenu->addAction(QStringLiteral("Show in Tallowmere"), this, [this, model, path] {
        model->select(path);
        hooks_.showMainWindow();
    });
}

void TrayMenu::openOnAddress(const QString& path, const QString& suffix)
{
    // Entries that need a running server do nothing without an address.
    const std::optional<QUrl>& address = ui_.model.runtimeFor(path)->url();
    if (!address)
        return;
    if (suffix.isEmpty()) {
        ui_.workspace.openAddress(*address);
        return;
    }
    // StripTrailingSlash keeps the slash of a bare "/" path: strip it by hand.
    QString base = address->toString();
    while (base.endsWith(u'/'))
        base.chop(1);
    ui_.workspace.openAddress(QUrl(base + suffix));
}
