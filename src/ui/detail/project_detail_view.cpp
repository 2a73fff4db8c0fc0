#include "ui/detail/project_detail_view.h"

#include "base/deliver.h"
#include "model/app_model.h"
#include "ui/detail/project_header.h"
#include "ui/detail/tab_bar.h"
#include "ui/detail/tab_factory.h"
#include "ui/theme/theme.h"
#include "ui/ui_context.h"
#include "ui/widgets/on_screen.h"

#include <QPointer>
#include <QShortcut>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

ProjectDetailView::ProjectDetailView(UiContext& ui, const QString& projectID, QWidget* parent)
    : QWidget(parent), ui_(ui), projectID_(projectID),
      header_(new ProjectHeader(ui, projectID, this)),
      tabBar_(new TabBar(ui.theme.palette(), this)), tabs_(new QStackedWidget(this)),
      usageTimer_(new QTimer(this)), onScreen_(new OnScreenWatch(this))
{
    setObjectName(QStringLiteral("projectDetailView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(header_);
    layout->addWidget(tabBar_);
    layout->addWidget(tabs_, 1);

    AppModel* model = &ui_.model;
    connect(tabBar_, &TabBar::tabClicked, model, &AppModel::setSelectedTab);
    // Ctrl+1 to Ctrl+4 choose the tabs in their order, from anywhere in the window.
    int number = 1;
    for (const DetailTab tab : allDetailTabs()) {
        auto* shortcut =
            new QShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_0 + number++)), this);
        shortcut->setObjectName(QStringLiteral("tabShortcut-") + rawValue(tab));
        connect(shortcut, &QShortcut::activated, model,
                [model, tab] { model->setSelectedTab(tab); });
    }
    connect(model, &AppModel::selectedTabChanged, this, &ProjectDetailView::showTab);
    connect(&ui_.theme, &Theme::schemeChanged, this, &ProjectDetailView::applyColours);
    // One measurement at a time: the next is scheduled once the previous one is in, so a slow
    // measurement never has another queued behind it.
    usageTimer_->setSingleShot(true);
    usageTimer_->setInterval(usageInterval);
    connect(usageTimer_, &QTimer::timeout, this, &ProjectDetailView::measureUsage);
    // Coming on screen measures at once; leaving it (hidden, minimised) stops the polling.
    connect(onScreen_, &OnScreenWatch::changed, this, [this](bool seen) {
        if (!seen)
            usageTimer_->stop();
        else if (!measuring_ && !usageTimer_->isActive())
            measureUsage();
    });
    header_->refresh();
    showTab();
    startProjectTasks();
}

void ProjectDetailView::setProject(const QString& projectID)
{
    if (projectID == projectID_)
        return;
    projectID_ = projectID;
    dropTabs();
    header_->setProject(projectID_);
    showTab();
    startProjectTasks();
}

QWidget* ProjectDetailView::currentTab() const
{
    return tabs_->currentWidget();
}

void ProjectDetailView::showTab()
{
    const DetailTab tab = ui_.model.selectedTab();
    tabBar_->setSelected(tab);
    QWidget* page = pages_.value(tab);
    if (!page) {
        page = createDetailTab(tab, ui_, projectID_, tabs_);
        pages_.insert(tab, page);
        tabs_->addWidget(page);
    }
    tabs_->setCurrentWidget(page);
}

void ProjectDetailView::dropTabs()
{
    // Later, not now: the change of project may come from inside one of these tabs.
    for (QWidget* page : std::as_const(pages_)) {
        tabs_->removeWidget(page);
        page->hide();
        page->deleteLater();
    }
    pages_.clear();
}

void ProjectDetailView::startProjectTasks()
{
    ui_.model.refreshInfo(projectID_);
    usageTimer_->stop();
    measuring_ = false;
    if (onScreen())
        measureUsage();
}

bool ProjectDetailView::onScreen() const
{
    return onScreen_->onScreen();
}

void ProjectDetailView::measureUsage()
{
    if (!ui_.refreshUsage || !onScreen())
        return;
    // The traffic figures on screen come from the server's local observability where it has
    // one; the model reads it at most every five seconds, so each tick may ask.
    if (ui_.refreshTraffic)
        (void)ui_.refreshTraffic(projectID_);
    measuring_ = true;
    const QString measured = projectID_;
    deliverTo(this, ui_.refreshUsage(projectID_), [this, measured] {
        // A measurement of a project no longer shown schedules nothing: the new project's
        // own measurement does. Nor does one that comes back to a view off the screen.
        if (projectID_ != measured)
            return;
        measuring_ = false;
        if (onScreen() && !usageTimer_->isActive())
            usageTimer_->start();
    });
}

void ProjectDetailView::applyColours()
{
    tabBar_->applyPalette(ui_.theme.palette());
}
