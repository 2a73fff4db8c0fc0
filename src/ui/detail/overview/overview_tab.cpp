#include "ui/detail/overview/overview_tab.h"

#include "discovery/dev_registry_watcher.h"
#include "discovery/environment_choice.h"
#include "model/app_model.h"
#include "model/service_links.h"
#include "presentation/binding_items.h"
#include "presentation/overview_details.h"
#include "runs/project_runtime.h"
#include "ui/detail/overview/bindings_section.h"
#include "ui/detail/overview/details_card.h"
#include "ui/detail/overview/problem_banners.h"
#include "ui/detail/overview/traffic_card.h"
#include "ui/project_actions.h"
#include "ui/ui_context.h"

#include <QDir>
#include <QTimer>
#include <QVBoxLayout>

OverviewTab::OverviewTab(UiContext& ui, const QString& projectID, QWidget* parent)
    : QScrollArea(parent), ui_(ui), projectID_(projectID), runtime_(ui.model.runtimeFor(projectID))
{
    setObjectName(QStringLiteral("overviewTab"));
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget(this);
    content->setObjectName(QStringLiteral("overviewContent"));
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(24, 16, 24, 24);
    layout->setSpacing(16);
    banners_ = new ProblemBanners(ui, projectID, content);
    traffic_ = new TrafficCard(ui.theme, runtime_->activity(), content);
    traffic_->hide();
    details_ = new DetailsCard(ui.theme, content);
    bindings_ = new BindingsSection(ui, projectID, content);
    layout->addWidget(banners_);
    layout->addWidget(traffic_);
    layout->addWidget(details_);
    layout->addWidget(bindings_);
    layout->addStretch(1);
    setWidget(content);
    viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);

    AppModel* model = &ui_.model;
    for (auto signal : {&AppModel::projectsChanged, &AppModel::infosChanged,
                        &AppModel::settingsChanged, &AppModel::installedTerminalsChanged})
        connect(model, signal, this, &OverviewTab::scheduleRefresh);
    for (auto signal : {&ProjectRuntime::statusChanged, &ProjectRuntime::portConflictChanged,
                        &ProjectRuntime::externalChanged, &ProjectRuntime::attachedPIDChanged})
        connect(runtime_, signal, this, &OverviewTab::scheduleRefresh);
    connect(model->devRegistry(), &DevRegistryWatcher::entriesChanged, this,
            &OverviewTab::scheduleRefresh);
    refresh();
}

void OverviewTab::scheduleRefresh()
{
    refreshLater_.schedule();
}

void OverviewTab::refresh()
{
    refreshLater_.settle();
    const AppModel& model = ui_.model;
    const auto project = model.findProject(projectID_);
    if (!project)
        return;
    const ProjectInfo* info = model.infoFor(projectID_);
    const ProjectStatus& status = runtime_->status();
    const QString home = QDir::homePath();

    OverviewProblems problems;
    if (info)
        problems.parseError = info->parseError;
    problems.install = installHint(*project, info, home);
    if (problems.install)
        problems.terminalTitle = ProjectActions::terminalTitle(ui_);
    if (status.kind() == ProjectStatus::Kind::error &&
        status.message() != QStringLiteral("Dependencies not installed"))
        problems.errorMessage = status.message();
    problems.portConflict = runtime_->portConflict();
    const LocalWorkers workers{projectID_, model.projects(), &model.infos()};
    const QList<BindingConnection> connections = bindingConnectionsOf(model, projectID_);
    if (status.kind() == ProjectStatus::Kind::running)
        problems.disconnected = disconnectedServices(connections, workers);
    banners_->setProblems(problems);
    traffic_->setVisible(status.kind() == ProjectStatus::Kind::running);

    const ServerOrigin origin = runtime_->attachedPID() ? ServerOrigin::attached
                                : runtime_->external()  ? ServerOrigin::outside
                                                        : ServerOrigin::here;
    details_->setRows(detailRows(*project, info, origin, home));

    DiagramContent diagram;
    // The worker as it runs: the chosen environment's name, entry and bindings.
    diagram.workerName = effectiveWorkerName(*project, info);
    diagram.status = status;
    diagram.configFile = project->configFile;
    if (info) {
        const ProjectInfo viewed = infoForActiveEnvironment(*project, *info);
        diagram.entry = viewed.mainEntry;
        const BindingItems built = buildBindingItems(viewed, workers, connections);
        diagram.items = built.items;
        for (const auto& link : built.localServices)
            connect(ui_.model.runtimeFor(link.second.projectID), &ProjectRuntime::statusChanged,
                    this, &OverviewTab::refreshLinkedStatuses, Qt::UniqueConnection);
    }
    bindings_->setContent(diagram, info != nullptr);
    refreshLinkedStatuses();
}

void OverviewTab::refreshLinkedStatuses()
{
    bindings_->refreshStatuses();
}
