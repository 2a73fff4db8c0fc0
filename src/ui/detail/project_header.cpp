#include "ui/detail/project_header.h"

#include "desktop/workspace.h"
#include "discovery/dev_command.h"
#include "discovery/environment_choice.h"
#include "discovery/kind_badge.h"
#include "discovery/project_info.h"
#include "model/app_model.h"
#include "model/service_links.h"
#include "model/service_start.h"
#include "runs/explorer_address.h"
#include "runs/project_runtime.h"
#include "runs/server_activity.h"
#include "ui/about/product.h"
#include "ui/detail/memory_badge.h"
#include "ui/project_actions.h"
#include "ui/theme/status_display.h"
#include "ui/theme/theme.h"
#include "ui/theme/type_scale.h"
#include "ui/ui_context.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/icon_view.h"
#include "ui/window_actions.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

QString addressLabel(const QUrl& address)
{
    if (address.host().isEmpty())
        return address.toString();
    return address.host() + QLatin1Char(':') + QString::number(address.port(80));
}

namespace {

QPushButton* actionButton(const QString& text, const QString& objectName, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    button->setFont(TypeScale::bodyMedium());
    return button;
}

} // namespace

ProjectHeader::ProjectHeader(UiContext& ui, const QString& projectID, QWidget* parent)
    : QWidget(parent), ui_(ui), projectID_(projectID), runtime_(ui.model.runtimeFor(projectID))
{
    setObjectName(QStringLiteral("projectHeader"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 12);
    layout->setSpacing(12);

    // Title row: the kind's logo, name, status chip, environment, memory badge, processor
    // share.
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(12);
    kindIcon_ = new IconView(QString(), 24, this);
    kindIcon_->setObjectName(QStringLiteral("headerKindIcon"));
    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("projectTitle"));
    title_->setFont(TypeScale::projectTitle());
    title_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    chip_ = new QWidget(this);
    chip_->setObjectName(QStringLiteral("statusChip"));
    auto* chipLayout = new QHBoxLayout(chip_);
    chipLayout->setContentsMargins(0, 0, 0, 0);
    chipLayout->setSpacing(4);
    chipIcon_ = new IconView(QString(), 12, chip_);
    chipLabel_ = new QLabel(chip_);
    chipLabel_->setObjectName(QStringLiteral("statusChipLabel"));
    chipLabel_->setFont(TypeScale::captionMedium());
    chipLayout->addWidget(chipIcon_);
    chipLayout->addWidget(chipLabel_);
    environment_ = new QLabel(this);
    environment_->setObjectName(QStringLiteral("headerEnvironment"));
    environment_->setFont(TypeScale::captionMedium());
    memory_ = new MemoryBadge(this);
    cpu_ = new QLabel(this);
    cpu_->setObjectName(QStringLiteral("headerCpu"));
    cpu_->setFont(TypeScale::captionMedium());
    cpu_->setToolTip(QStringLiteral("Processor time this project took over the last few "
                                    "seconds, in percent of one core"));
    titleRow->addWidget(kindIcon_, 0, Qt::AlignVCenter);
    titleRow->addSpacing(-2);
    titleRow->addWidget(title_);
    titleRow->addWidget(chip_, 0, Qt::AlignVCenter);
    titleRow->addWidget(environment_, 0, Qt::AlignVCenter);
    titleRow->addWidget(memory_, 0, Qt::AlignVCenter);
    titleRow->addWidget(cpu_, 0, Qt::AlignVCenter);
    titleRow->addStretch(1);
    layout->addLayout(titleRow);

    // Action row.
    auto* actions = new QHBoxLayout;
    actions->setSpacing(8);
    start_ = actionButton(QStringLiteral("Start"), QStringLiteral("headerStart"), this);
    stop_ = actionButton(QStringLiteral("Stop"), QStringLiteral("headerStop"), this);
    stop_->setToolTip(QStringLiteral("Stop (Ctrl+.)"));
    restart_ = actionButton(QStringLiteral("Restart"), QStringLiteral("headerRestart"), this);
    address_ = actionButton(QString(), QStringLiteral("headerAddress"), this);
    address_->setToolTip(QStringLiteral("Open the site in your browser"));
    admin_ = actionButton(QStringLiteral("Admin Login"), QStringLiteral("headerAdminLogin"), this);
    more_ = new IconButton(QStringLiteral("ellipsis"), 28, 16, this);
    more_->setObjectName(QStringLiteral("headerMore"));
    more_->setToolTip(QStringLiteral("More"));
    moreMenu_ = new QMenu(more_);
    moreMenu_->setObjectName(QStringLiteral("headerMoreMenu"));
    more_->setMenu(moreMenu_);
    more_->setPopupMode(QToolButton::InstantPopup);
    connect(moreMenu_, &QMenu::aboutToShow, this, &ProjectHeader::refreshMoreMenu);
    for (QWidget* w : {static_cast<QWidget*>(start_), static_cast<QWidget*>(stop_),
                       static_cast<QWidget*>(restart_), static_cast<QWidget*>(address_),
                       static_cast<QWidget*>(admin_), static_cast<QWidget*>(more_)})
        actions->addWidget(w);
    actions->addStretch(1);
    layout->addLayout(actions);

    // The window's actions own the commands and their shortcuts; the buttons only trigger them.
    if (WindowActions* commands = ui_.windowActions) {
        connect(start_, &QPushButton::clicked, commands->start(), &QAction::trigger);
        connect(stop_, &QPushButton::clicked, commands->stop(), &QAction::trigger);
        connect(restart_, &QPushButton::clicked, commands->restart(), &QAction::trigger);
    }
    connect(address_, &QPushButton::clicked, this, &ProjectHeader::openAddress);
    connect(admin_, &QPushButton::clicked, this, &ProjectHeader::openAdminLink);

    for (auto signal : {&AppModel::projectsChanged, &AppModel::infosChanged})
        connect(&ui_.model, signal, this, &ProjectHeader::scheduleRefresh);
    watchRuntime();
    connect(&ui_.theme, &Theme::schemeChanged, this, &ProjectHeader::applyColours);
    applyColours();
}

void ProjectHeader::setProject(const QString& projectID)
{
    if (projectID == projectID_)
        return;
    if (runtime_) {
        disconnect(runtime_, nullptr, this, nullptr);
        disconnect(runtime_->activity(), nullptr, this, nullptr);
    }
    projectID_ = projectID;
    runtime_ = ui_.model.runtimeFor(projectID_);
    watchRuntime();
    refresh();
}

void ProjectHeader::watchRuntime()
{
    if (!runtime_)
        return;
    for (auto signal : {&ProjectRuntime::statusChanged, &ProjectRuntime::urlChanged,
                        &ProjectRuntime::memoryBytesChanged, &ProjectRuntime::externalChanged,
                        &ProjectRuntime::attachedPIDChanged, &ProjectRuntime::managedChanged})
        connect(runtime_, signal, this, &ProjectHeader::scheduleRefresh);
    connect(runtime_->activity(), &ServerActivity::cpuPercentChanged, this,
            &ProjectHeader::scheduleRefresh);
}

void ProjectHeader::scheduleRefresh()
{
    refreshLater_.schedule();
}

void ProjectHeader::refresh()
{
    refreshLater_.settle();
    const auto project = ui_.model.findProject(projectID_);
    if (!project || !runtime_)
        return;
    const Palette& p = ui_.theme.palette();
    const ProjectRuntime& runtime = *runtime_;
    const ProjectStatus& status = runtime.status();

    title_->setText(ui_.model.displayName(*project));
    const ProjectInfo* kindInfo = ui_.model.infoFor(projectID_);
    kindIcon_->setKindIcon(kindIcon(kindInfo));
    kindIcon_->setColor(p.primaryText);
    QStringList kinds;
    for (const KindBadge& badge : kindBadges(kindInfo))
        kinds.append(badge.name);
    if (kinds.isEmpty())
        kinds.append(primaryBadge(kindInfo).name);
    kindIcon_->setToolTip(kinds.join(QStringLiteral(" · ")));
    kindIcon_->setAccessibleName(kindIcon_->toolTip());
    const StatusDisplay display = statusDisplay(status, p);
    chipIcon_->setName(display.chipIcon);
    chipIcon_->setColor(display.chipColor);
    chipLabel_->setText(display.chipLabel);
    QPalette chipPalette = chipLabel_->palette();
    chipPalette.setColor(QPalette::WindowText, display.chipColor);
    chipLabel_->setPalette(chipPalette);
    chip_->setAccessibleName(display.accessibilityLabel);

    const ProjectInfo* shownInfo = ui_.model.infoFor(projectID_);
    const std::optional<QString> environment = activeEnvironmentName(*project, shownInfo);
    const bool missing = environmentMissing(*project, shownInfo) &&
                         modeTakesEnvironment(effectiveMode(*project, shownInfo));
    environment_->setVisible(environment || missing);
    if (environment) {
        environment_->setText(*environment);
        environment_->setToolTip(
            QStringLiteral("Runs with the Wrangler environment “%1”").arg(*environment));
    } else if (missing) {
        environment_->setText(*project->environment + QStringLiteral(" (missing)"));
        environment_->setToolTip(
            QStringLiteral("“%1” is no longer declared in %2: runs use the top level")
                .arg(*project->environment, project->configFile));
    }
    environment_->setAccessibleName(QStringLiteral("Environment: ") + environment_->text());
    environment_->setStyleSheet(
        QStringLiteral("QLabel#headerEnvironment { color: %1; border: 1px solid %2;"
                       " border-radius: 9px; padding: 1px 8px; }")
            .arg((missing ? p.starting : p.secondaryText).name(), p.border.name()));

    const bool active = status.isActive();
    memory_->setVisible(active && runtime.memoryBytes().has_value());
    if (runtime.memoryBytes())
        memory_->setBytes(*runtime.memoryBytes(), p);
    const std::optional<double> cpu = runtime.activity()->cpuPercent();
    cpu_->setVisible(active && cpu.has_value());
    if (cpu) {
        cpu_->setText(QStringLiteral("CPU ") + QString::number(*cpu, 'f', 1) + u'%');
        cpu_->setAccessibleName(QStringLiteral("Processor share: ") + cpu_->text());
        QPalette cpuPalette = cpu_->palette();
        cpuPalette.setColor(QPalette::WindowText, p.secondaryText);
        cpu_->setPalette(cpuPalette);
    }

    start_->setVisible(!active);
    stop_->setVisible(active);
    restart_->setVisible(active);
    const ProjectInfo* info = ui_.model.infoFor(projectID_);
    start_->setToolTip(info && !dependenciesReady(*project, info)
                           ? QStringLiteral("Install dependencies first")
                           : QStringLiteral("Start (Ctrl+↩)"));
    const bool startedElsewhere = runtime.external() || runtime.attachedPID().has_value();
    restart_->setToolTip(startedElsewhere
                             ? QStringLiteral("Restart from ") + Product::name +
                                   QStringLiteral(" so its logs are available (Ctrl+R)")
                             : QStringLiteral("Restart (Ctrl+R)"));

    address_->setVisible(runtime.url().has_value());
    if (runtime.url())
        address_->setText(addressLabel(*runtime.url()));

    adminPath_.clear();
    for (const ProjectLink& link : ui_.model.projectLinks(projectID_))
        if (link.path != QStringLiteral("/")) {
            adminPath_ = link.path;
            break;
        }
    admin_->setVisible(!adminPath_.isEmpty());
    admin_->setToolTip(QStringLiteral("Open ") + adminPath_);
}

void ProjectHeader::refreshMoreMenu()
{
    moreMenu_->clear();
    UiContext* ui = &ui_;
    const QString id = projectID_;
    if (runtime_ && runtime_->status().kind() == ProjectStatus::Kind::running && runtime_->url()) {
        const QUrl explorer = *explorerAddress(*runtime_);
        moreMenu_->addAction(QStringLiteral("Open Explorer in browser"), this,
                             [ui, explorer] { ui->workspace.openAddress(explorer); });
        moreMenu_->addSeparator();
    }
    if (needsLocalServices(ui_.model, id)) {
        AppModel* model = &ui_.model;
        QAction* withServices =
            moreMenu_->addAction(QStringLiteral("Start with Local Services"), this,
                                 [model, id] { startWithServices(*model, id); });
        withServices->setObjectName(QStringLiteral("startWithServices"));
        moreMenu_->addSeparator();
    }
    moreMenu_->addAction(QStringLiteral("Reveal in File Manager"), this,
                         [ui, id] { ProjectActions::reveal(*ui, id); });
    moreMenu_->addAction(ProjectActions::editorTitle(ui_), this,
                         [ui, id] { ProjectActions::openInEditor(*ui, id); });
    moreMenu_->addAction(ProjectActions::terminalTitle(ui_), this,
                         [ui, id] { ProjectActions::openInTerminal(*ui, id); });
}

void ProjectHeader::openAddress()
{
    if (runtime_ && runtime_->url())
        ui_.workspace.openAddress(*runtime_->url());
}

void ProjectHeader::openAdminLink()
{
    if (!runtime_ || !runtime_->url() || adminPath_.isEmpty())
        return;
    QString base = runtime_->url()->toString();
    if (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    ui_.workspace.openAddress(QUrl(base + adminPath_));
}

void ProjectHeader::applyColours()
{
    const Palette& p = ui_.theme.palette();
    styleButton(start_, ButtonStyle::primary, p, QStringLiteral("play"));
    styleButton(stop_, ButtonStyle::secondary, p, QStringLiteral("square"));
    styleButton(restart_, ButtonStyle::secondary, p, QStringLiteral("rotate-cw"));
    styleButton(address_, ButtonStyle::secondary, p, QStringLiteral("arrow-up-right"));
    styleButton(admin_, ButtonStyle::secondary, p, QStringLiteral("user-round-key"));
    more_->applyPalette(p);
    refresh();
}
