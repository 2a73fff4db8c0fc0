#include "ui/project_settings/project_settings_tab.h"

#include "base/product_name.h"
#include "discovery/dev_command.h"
#include "discovery/environment_choice.h"
#include "model/app_model.h"
#include "ui/project_settings/run_settings_rules.h"
#include "ui/theme/theme_binder.h"
#include "ui/theme/type_scale.h"
#include "ui/ui_context.h"

#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

ProjectSettingsTab::ProjectSettingsTab(UiContext& ui, const QString& projectID, QWidget* parent)
    : QWidget(parent), ui_(ui), projectID_(projectID)
{
    setObjectName(QStringLiteral("projectSettingsTab"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    outer->addWidget(scroll);
    auto* page = new QWidget(scroll);
    page->setObjectName(QStringLiteral("projectSettingsPage"));
    scroll->setWidget(page);
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(24, 20, 24, 24);

    card_ = new QFrame(page);
    card_->setObjectName(QStringLiteral("runCard"));
    auto* cardLayout = new QVBoxLayout(card_);
    cardLayout->setContentsMargins(16, 14, 16, 6);
    cardLayout->setSpacing(0);
    cardTitle_ = new QLabel(QStringLiteral("Run"), card_);
    cardTitle_->setObjectName(QStringLiteral("runCardTitle"));
    cardTitle_->setFont(TypeScale::heading());
    cardLayout->addWidget(cardTitle_);
    cardLayout->addSpacing(6);

    picker_ = new QComboBox(card_);
    picker_->setObjectName(QStringLiteral("runModePicker"));
    picker_->setFixedWidth(pickerWidth);
    picker_->setAccessibleName(QStringLiteral("Run mode"));
    picker_->addItem(autoDetectLabel(nullptr));
    for (RunModeKind mode : allRunModes())
        picker_->addItem(label(mode), rawValue(mode));
    connect(picker_, &QComboBox::activated, this, &ProjectSettingsTab::chooseMode);

    environmentPicker_ = new QComboBox(card_);
    environmentPicker_->setObjectName(QStringLiteral("environmentPicker"));
    environmentPicker_->setFixedWidth(pickerWidth);
    environmentPicker_->setAccessibleName(QStringLiteral("Environment"));
    connect(environmentPicker_, &QComboBox::activated, this,
            &ProjectSettingsTab::chooseEnvironment);

    command_ = new QLineEdit(card_);
    command_->setObjectName(QStringLiteral("customCommandField"));
    command_->setFixedWidth(pickerWidth);
    command_->setPlaceholderText(QStringLiteral("e.g. pnpm run dev"));
    command_->setFont(TypeScale::monospaced());
    const auto storeCommand = [this] {
        const QString text = command_->text();
        ui_.model.setCustomCommand(projectID_,
                                   text.isEmpty() ? std::nullopt : std::optional<QString>(text));
    };
    connect(command_, &QLineEdit::textEdited, this, storeCommand);
    connect(command_, &QLineEdit::returnPressed, this, storeCommand);

    port_ = new QLineEdit(card_);
    port_->setObjectName(QStringLiteral("portField"));
    port_->setFixedWidth(portFieldWidth);
    port_->setPlaceholderText(QStringLiteral("auto"));
    connect(port_, &QLineEdit::returnPressed, this, &ProjectSettingsTab::commitPort);

    cardLayout->addWidget(
        settingRow(QStringLiteral("Run mode"),
                   QStringLiteral("How ") + Product::name +
                       QStringLiteral(" starts this project. Auto-detect is right for most."),
                   picker_, false));
    environmentRow_ =
        settingRow(QStringLiteral("Environment"), QString(), environmentPicker_, true);
    environmentRow_->setObjectName(QStringLiteral("environmentRow"));
    environmentHelp_ = environmentRow_->findChild<QLabel*>(QStringLiteral("settingHelp"));
    cardLayout->addWidget(environmentRow_);
    commandRow_ = settingRow(QStringLiteral("Command"),
                             QStringLiteral("Runs in the project folder. The address is read "
                                            "from its output."),
                             command_, true);
    commandRow_->setObjectName(QStringLiteral("commandRow"));
    cardLayout->addWidget(commandRow_);
    portRow_ =
        settingRow(QStringLiteral("Port"),
                   QStringLiteral("Allocated from 8787 upward when empty or busy."), port_, true);
    portRow_->setObjectName(QStringLiteral("portRow"));
    cardLayout->addWidget(portRow_);
    pageLayout->addWidget(card_);
    pageLayout->addStretch(1);

    AppModel* model = &ui_.model;
    connect(model, &AppModel::projectsChanged, this, &ProjectSettingsTab::refresh);
    connect(model, &AppModel::infosChanged, this, &ProjectSettingsTab::refresh);
    ThemeBinder::bind(card_, ui_.theme, [card = card_](const Palette& p) {
        card->setStyleSheet(
            QStringLiteral("QFrame#runCard { background: %1; border: 1px solid %2;"
                           " border-radius: 10px; }"
                           "QFrame#settingDivider { background: %2; border: none; }")
                .arg(p.cardBackground.name(), p.border.name()));
    });
    if (const std::optional<Project> project = model->findProject(projectID_))
        command_->setText(project->customCommand.value_or(QString()));
    showStoredPort();
    refresh();
}

QWidget* ProjectSettingsTab::settingRow(const QString& title, const QString& help, QWidget* control,
                                        bool divided)
{
    auto* row = new QWidget(card_);
    auto* column = new QVBoxLayout(row);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    if (divided) {
        auto* divider = new QFrame(row);
        divider->setObjectName(QStringLiteral("settingDivider"));
        divider->setFixedHeight(1);
        column->addWidget(divider);
    }
    auto* line = new QHBoxLayout;
    line->setContentsMargins(0, 10, 0, 10);
    line->setSpacing(16);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto* titleLabel = new QLabel(title, row);
    titleLabel->setFont(TypeScale::bodyMedium());
    auto* helpLabel = new QLabel(help, row);
    helpLabel->setObjectName(QStringLiteral("settingHelp"));
    helpLabel->setFont(TypeScale::caption());
    helpLabel->setWordWrap(true);
    ThemeBinder::bindTextColor(helpLabel, ui_.theme, &Palette::secondaryText);
    texts->addWidget(titleLabel);
    texts->addWidget(helpLabel);
    line->addLayout(texts, 1);
    line->addWidget(control, 0, Qt::AlignVCenter);
    column->addLayout(line);
    return row;
}

void ProjectSettingsTab::refresh()
{
    const std::optional<Project> project = ui_.model.findProject(projectID_);
    if (!project)
        return;
    const ProjectInfo* info = ui_.model.infoFor(projectID_);
    picker_->setItemText(0, autoDetectLabel(info));
    picker_->setCurrentIndex(
        project->runModeOverride ? int(allRunModes().indexOf(*project->runModeOverride)) + 1 : 0);
    const RunModeKind mode = effectiveMode(*project, info);
    refreshEnvironments(*project, info);
    commandRow_->setVisible(hasCommandRow(mode));
    portRow_->setVisible(hasPortRow(mode));
    // A field being typed in keeps its text; the others show what is stored.
    const QString command = project->customCommand.value_or(QString());
    if (!command_->hasFocus() && command_->text() != command)
        command_->setText(command);
    if (!port_->hasFocus())
        showStoredPort();
}

void ProjectSettingsTab::chooseMode(int index)
{
    const std::optional<RunModeKind> mode =
        index <= 0 ? std::nullopt : runModeFromRaw(picker_->itemData(index).toString());
    ui_.model.setRunModeOverride(projectID_, mode);
}

void ProjectSettingsTab::refreshEnvironments(const Project& project, const ProjectInfo* info)
{
    const QStringList names = environmentNames(info);
    const bool missing = environmentMissing(project, info);
    environmentRow_->setVisible(modeTakesEnvironment(effectiveMode(project, info)) &&
                                (!names.isEmpty() || missing));
    // Item 0 is the top level (no data); then each declared name; then a stored one that is no
    // longer declared, so that the choice is seen and can be undone.
    QStringList items{QStringLiteral("Top level")};
    for (const QString& name : names)
        items.append(name);
    if (missing)
        items.append(*project.environment + QStringLiteral(" (missing)"));
    bool same = environmentPicker_->count() == items.size();
    for (int i = 0; same && i < items.size(); ++i)
        same = environmentPicker_->itemText(i) == items[i];
    if (!same) {
        environmentPicker_->clear();
        environmentPicker_->addItem(items.first());
        for (const QString& name : names)
            environmentPicker_->addItem(name, name);
        if (missing)
            environmentPicker_->addItem(items.last(), *project.environment);
    }
    environmentPicker_->setCurrentIndex(
        project.environment ? std::max(0, environmentPicker_->findData(*project.environment)) : 0);
    environmentHelp_->setText(
        missing ? QStringLiteral("“%1” is no longer declared in %2: runs use the top level.")
                      .arg(*project.environment, project.configFile)
                : QStringLiteral("The [env.NAME] section runs use. Bindings and variables are the "
                                 "environment's own; the rest is inherited."));
}

void ProjectSettingsTab::chooseEnvironment(int index)
{
    const QString name = environmentPicker_->itemData(index).toString();
    ui_.model.setEnvironment(projectID_,
                             name.isEmpty() ? std::nullopt : std::optional<QString>(name));
}

void ProjectSettingsTab::commitPort()
{
    const PortEntry entry = PortEntry::parse(port_->text());
    switch (entry.kind) {
    case PortEntry::Kind::clear:
        port_->clear();
        ui_.model.setPort(projectID_, std::nullopt);
        break;
    case PortEntry::Kind::port:
        port_->setText(QString::number(entry.port));
        ui_.model.setPort(projectID_, entry.port);
        break;
    case PortEntry::Kind::rejected: showStoredPort(); break;
    }
}

void ProjectSettingsTab::showStoredPort()
{
    const std::optional<Project> project = ui_.model.findProject(projectID_);
    const std::optional<int> port = project ? project->port : std::nullopt;
    port_->setText(port ? QString::number(*port) : QString());
}
