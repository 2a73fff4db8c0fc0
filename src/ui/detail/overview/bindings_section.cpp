#include "ui/detail/overview/bindings_section.h"

#include "model/app_model.h"
#include "runs/project_runtime.h"
#include "ui/detail/overview/binding_list_view.h"
#include "ui/detail/overview/overview_style.h"
#include "ui/project_actions.h"
#include "ui/theme/status_display.h"
#include "ui/theme/theme.h"
#include "ui/theme/theme_binder.h"
#include "ui/theme/type_scale.h"
#include "ui/ui_context.h"
#include "ui/widgets/icon_view.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QPushButton* segment(const QString& title, const QString& objectName, QWidget* parent)
{
    auto* button = new QPushButton(title, parent);
    button->setObjectName(objectName);
    button->setCheckable(true);
    button->setFont(TypeScale::caption());
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

BindingsSection::BindingsSection(UiContext& ui, const QString& projectID, QWidget* parent)
    : QWidget(parent), ui_(ui), layout_(BindingsLayoutStore::load()),
      title_(new QLabel(QStringLiteral("BINDINGS"), this)), count_(new QLabel(this)),
      toggle_(new QWidget(this)),
      diagramButton_(segment(QStringLiteral("Diagram"), QStringLiteral("layoutDiagram"), toggle_)),
      listButton_(segment(QStringLiteral("List"), QStringLiteral("layoutList"), toggle_)),
      empty_(new QWidget(this))
{
    setObjectName(QStringLiteral("bindingsSection"));
    AppModel* model = &ui_.model;
    const auto statusOf = [model, &ui](const QString& id) {
        return statusDisplay(model->runtimeFor(id)->status(), ui.theme.palette());
    };
    diagram_ = new BindingDiagram(ui, statusOf, this);
    list_ = new BindingListView(ui, statusOf, this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    auto* header = new QHBoxLayout;
    header->setSpacing(6);
    title_->setObjectName(QStringLiteral("bindingsTitle"));
    title_->setFont(TypeScale::sectionHeader());
    count_->setObjectName(QStringLiteral("bindingsCount"));
    count_->setFont(TypeScale::sectionHeader());
    header->addWidget(title_);
    header->addWidget(count_);
    header->addStretch(1);
    auto* toggleLayout = new QHBoxLayout(toggle_);
    toggleLayout->setContentsMargins(2, 2, 2, 2);
    toggleLayout->setSpacing(2);
    toggleLayout->addWidget(diagramButton_);
    toggleLayout->addWidget(listButton_);
    toggle_->setObjectName(QStringLiteral("layoutToggle"));
    auto* group = new QButtonGroup(toggle_);
    group->addButton(diagramButton_);
    group->addButton(listButton_);
    header->addWidget(toggle_);
    layout->addLayout(header);

    auto* emptyLayout = new QVBoxLayout(empty_);
    emptyLayout->setContentsMargins(0, 24, 0, 24);
    emptyLayout->setSpacing(8);
    auto* plug = new IconView(QStringLiteral("plug"), 20, empty_);
    plug->setObjectName(QStringLiteral("bindingsEmptyIcon"));
    emptyLayout->addWidget(plug, 0, Qt::AlignHCenter);
    auto* emptyText = new QLabel(QStringLiteral("No bindings in this project's config."), empty_);
    emptyText->setObjectName(QStringLiteral("bindingsEmptyText"));
    emptyText->setFont(TypeScale::body());
    emptyLayout->addWidget(emptyText, 0, Qt::AlignHCenter);
    empty_->setObjectName(QStringLiteral("bindingsEmpty"));

    auto* listFrame = new QFrame(this);
    listFrame->setObjectName(QStringLiteral("bindingListCard"));
    auto* listLayout = new QVBoxLayout(listFrame);
    listLayout->setContentsMargins(4, 2, 4, 2);
    listLayout->addWidget(list_);
    layout->addWidget(empty_);
    layout->addWidget(diagram_);
    layout->addWidget(listFrame);

    connect(diagramButton_, &QPushButton::clicked, this,
            [this] { setBindingsLayout(BindingsLayout::diagram); });
    connect(listButton_, &QPushButton::clicked, this,
            [this] { setBindingsLayout(BindingsLayout::list); });
    UiContext* context = &ui_;
    connect(diagram_, &BindingDiagram::configRowClicked, this, [context, id = projectID] {
        // The same path as the header's editor action, so a missing editor leads to Settings.
        if (const auto project = context->model.findProject(id))
            ProjectActions::openInEditor(*context, id, project->configFile);
    });
    bindColours();
    showLayout();
}

void BindingsSection::bindColours()
{
    Theme& theme = ui_.theme;
    ThemeBinder::bindTextColor(title_, theme, &Palette::tertiaryText);
    ThemeBinder::bindTextColor(count_, theme, &Palette::tertiaryText);
    ThemeBinder::bindTextColor(empty_->findChild<QLabel*>(QStringLiteral("bindingsEmptyText")),
                               theme, &Palette::secondaryText);
    auto* plug = empty_->findChild<IconView*>(QStringLiteral("bindingsEmptyIcon"));
    ThemeBinder::bind(plug, theme, [plug](const Palette& p) { plug->setColor(p.tertiaryText); });
    QWidget* toggle = toggle_;
    ThemeBinder::bind(toggle, theme, [toggle](const Palette& p) {
        toggle->setStyleSheet(
            QStringLiteral(
                "#layoutToggle { background: %1; border-radius: 7px; }"
                "QPushButton { border: none; border-radius: 5px; outline: none; padding: 3px 12px;"
                " color: %2; background: transparent; }"
                "QPushButton:checked { background: %3; color: %4; }")
                .arg(OverviewStyle::css(p.subtleFill), OverviewStyle::css(p.secondaryText),
                     OverviewStyle::css(p.cardBackground), OverviewStyle::css(p.primaryText)));
    });
    QWidget* listCard = list_->parentWidget();
    ThemeBinder::bind(listCard, theme, [listCard](const Palette& p) {
        OverviewStyle::styleCard(listCard, p.cardBackground, p);
    });
    // The diagram and the status dots read the palette when they paint.
    ThemeBinder::bind(this, theme, [this](const Palette&) { refreshStatuses(); });
}

void BindingsSection::setContent(const DiagramContent& content, bool inspected)
{
    inspected_ = inspected;
    hasItems_ = !content.items.isEmpty();
    count_->setText(inspected ? QString::number(content.items.size()) : QString());
    items_ = content.items;
    diagram_->setContent(content);
    showLayout();
}

void BindingsSection::setBindingsLayout(BindingsLayout layout)
{
    if (layout == layout_)
        return;
    layout_ = layout;
    // Demo mode writes nothing: the choice then holds for this view only.
    if (!ui_.model.isDemo())
        BindingsLayoutStore::save(layout);
    showLayout();
}

void BindingsSection::showLayout()
{
    const bool diagram = layout_ == BindingsLayout::diagram;
    diagramButton_->setChecked(diagram);
    listButton_->setChecked(!diagram);
    toggle_->setVisible(hasItems_);
    empty_->setVisible(inspected_ && !hasItems_);
    // Only the layout in view holds the items: the other is built when it is chosen.
    if (!diagram)
        list_->setItems(items_);
    diagram_->setVisible(hasItems_ && diagram);
    list_->parentWidget()->setVisible(hasItems_ && !diagram);
}

void BindingsSection::refreshStatuses()
{
    diagram_->refresh();
    list_->refreshStatuses();
}
