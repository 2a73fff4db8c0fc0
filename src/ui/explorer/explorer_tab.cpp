#include "ui/explorer/explorer_tab.h"

#include "desktop/workspace.h"
#include "discovery/explorer_support.h"
#include "model/app_model.h"
#include "runs/explorer_address.h"
#include "runs/project_runtime.h"
#include "ui/explorer/explorer_not_running.h"
#include "ui/explorer/explorer_pages.h"
#include "ui/explorer/explorer_running.h"
#include "ui/explorer/explorer_too_old.h"
#include "ui/theme/theme.h"
#include "ui/theme/theme_binder.h"
#include "ui/ui_context.h"

#include <QDir>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// The folder as the user reads it: the home folder shown as "~".
QString shownFolder(const QString& path)
{
    const QString home = QDir::homePath();
    if (path == home)
        return QStringLiteral("~");
    if (path.startsWith(home + u'/'))
        return u'~' + path.mid(home.size());
    return path;
}

} // namespace

ExplorerTab::ExplorerTab(UiContext& ui, const QString& projectID, QWidget* parent,
                         ExplorerPageFactory pages)
    : QWidget(parent), ui_(ui), projectID_(projectID),
      pages_(pages ? std::move(pages) : defaultExplorerPages()),
      runtime_(ui.model.runtimeFor(projectID)), stack_(new QStackedWidget(this)),
      notRunning_(new ExplorerNotRunning(stack_)), tooOld_(new ExplorerTooOld(stack_)),
      running_(new ExplorerRunning(stack_))
{
    setObjectName(QStringLiteral("explorerTab"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(stack_);
    stack_->addWidget(notRunning_);
    stack_->addWidget(tooOld_);
    stack_->addWidget(running_);

    AppModel* model = &ui_.model;
    const QString id = projectID_;
    connect(notRunning_, &ExplorerNotRunning::startClicked, this,
            [model, id] { model->startProject(id); });
    connect(running_, &ExplorerRunning::reloadClicked, this, &ExplorerTab::reload);
    connect(running_, &ExplorerRunning::openInBrowserClicked, this, [this] {
        if (const auto address = runtime_ ? explorerAddress(*runtime_) : std::nullopt)
            ui_.workspace.openAddress(*address);
    });

    for (auto signal : {&AppModel::projectsChanged, &AppModel::infosChanged})
        connect(model, signal, this, &ExplorerTab::scheduleRefresh);
    // A stop must take the page away at once, not on the next turn of the event loop.
    for (auto signal : {&ProjectRuntime::statusChanged, &ProjectRuntime::urlChanged})
        connect(runtime_, signal, this, &ExplorerTab::refresh);
    ThemeBinder::bind(this, ui_.theme, [this](const Palette& palette) { applyPalette(palette); });
    refresh();
}

ExplorerPage* ExplorerTab::page() const
{
    return running_->page();
}

void ExplorerTab::reload()
{
    ++reloadToken_;
    updatePage();
}

void ExplorerTab::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
}

void ExplorerTab::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    updatePage();
}

void ExplorerTab::scheduleRefresh()
{
    refreshLater_.schedule();
}

void ExplorerTab::refresh()
{
    refreshLater_.settle();
    if (!runtime_)
        return;
    const ProjectStatus& status = runtime_->status();
    const std::optional<QUrl> address = explorerAddress(*runtime_);
    const std::optional<Project> project = ui_.model.findProject(projectID_);
    if (status.kind() != ProjectStatus::Kind::running || !address || !project) {
        content_ = Content::notRunning;
        notRunning_->setStartVisible(!status.isActive());
        stack_->setCurrentWidget(notRunning_);
    } else if (const ExplorerSupport support =
                   explorerSupport(*project, ui_.model.infoFor(projectID_));
               !support.isOk()) {
        content_ = Content::tooOld;
        tooOld_->setSupport(support, shownFolder(projectID_));
        stack_->setCurrentWidget(tooOld_);
    } else {
        content_ = Content::running;
        running_->setAddress(*address);
        stack_->setCurrentWidget(running_);
    }
    updatePage();
}

void ExplorerTab::updatePage()
{
    if (content_ != Content::running || !isVisible()) {
        running_->clear();
        pageToken_ = -1;
        return;
    }
    // The page, or the message that replaced it, stands until the address or token changes.
    if (pageToken_ == reloadToken_ && pageAddress_ == running_->address())
        return;
    pageToken_ = reloadToken_;
    pageAddress_ = running_->address();
    QString why;
    if (ExplorerPage* page = pages_(pageAddress_, ui_.theme.isDark(), nullptr, &why))
        running_->showPage(page);
    else
        running_->showMessage(why);
}

void ExplorerTab::applyPalette(const Palette& palette)
{
    notRunning_->applyPalette(palette);
    tooOld_->applyPalette(palette);
    running_->applyPalette(palette);
    if (ExplorerPage* page = running_->page())
        page->setDark(ui_.theme.isDark());
}
