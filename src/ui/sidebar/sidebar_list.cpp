#include "ui/sidebar/sidebar_list.h"

#include "model/app_model.h"
#include "runs/project_runtime.h"
#include "ui/project_actions.h"
#include "ui/sidebar/row_presentation.h"
#include "ui/sidebar/section_title.h"
#include "ui/sidebar/sidebar_row.h"
#include "ui/theme/theme.h"
#include "ui/theme/type_scale.h"
#include "ui/ui_context.h"
#include "ui/widgets/focus_ring.h"
#include "ui/widgets/icon_view.h"
#include "ui/widgets/on_screen_timer.h"
#include "ui/widgets/status_dot.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

SidebarList::SidebarList(UiContext& ui, PulseClock& clock, QWidget* parent)
    : QScrollArea(parent), ui_(ui), clock_(clock), content_(new QWidget),
      layout_(new QVBoxLayout(content_))
{
    setObjectName(QStringLiteral("sidebarList"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    setProperty(FocusRing::ownRingProperty, true); // the selected row shows the focus
    content_->setObjectName(QStringLiteral("sidebarListContent"));
    layout_->setContentsMargins(0, 0, 0, 8);
    layout_->setSpacing(0);

    emptyState_ = new QWidget(content_);
    emptyState_->setObjectName(QStringLiteral("sidebarEmptyState"));
    auto* emptyLayout = new QVBoxLayout(emptyState_);
    emptyLayout->setContentsMargins(0, 40, 0, 0);
    auto* emptyIcon = new IconView(QStringLiteral("folder-search"), 20, emptyState_);
    emptyLabel_ = new QLabel(emptyState_);
    emptyLabel_->setObjectName(QStringLiteral("sidebarEmptyLabel"));
    emptyLabel_->setFont(TypeScale::body());
    emptyLabel_->setAlignment(Qt::AlignHCenter);
    emptyLayout->addWidget(emptyIcon, 0, Qt::AlignHCenter);
    emptyLayout->addWidget(emptyLabel_);
    emptyState_->hide();
    setWidget(content_);
    // QScrollArea makes its widget opaque; the sidebar's own background must show through.
    content_->setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);

    AppModel& model = ui_.model;
    for (auto signal : {&AppModel::projectsChanged, &AppModel::infosChanged,
                        &AppModel::showHiddenChanged, &AppModel::selectionChanged})
        connect(&model, signal, this, &SidebarList::scheduleRebuild);
    connect(&ui_.theme, &Theme::schemeChanged, this, &SidebarList::applyColours);
    applyColours();
    rebuild();
    trafficTimer_ = new OnScreenTimer(this, trafficMillis, [this] { refreshTraffic(); });
}

void SidebarList::refreshTraffic()
{
    for (SidebarRow* row : std::as_const(rows_)) {
        if (!row->isVisible() || row->content().status.kind() != ProjectStatus::Kind::running)
            continue;
        const ProjectRuntime* runtime = ui_.model.runtimeFor(row->content().path);
        if (!runtime)
            continue;
        // A row on the screen looks at its server's traffic: where the server offers local
        // observability the model reads it (at most every five seconds); the figures shown
        // here are those of the last read.
        if (ui_.refreshTraffic)
            (void)ui_.refreshTraffic(row->content().path);
        RowContent content = row->content();
        content.traffic = rowTraffic(*runtime);
        row->setContent(content);
    }
}

void SidebarList::setQuery(const QString& query)
{
    if (query_ == query)
        return;
    query_ = query;
    scheduleRebuild();
}

SidebarRow* SidebarList::rowFor(const QString& path) const
{
    SidebarRow* row = rows_.value(path);
    return row && row->isVisible() ? row : nullptr;
}

void SidebarList::rebuildNow()
{
    rebuild();
}

void SidebarList::scheduleRebuild()
{
    rebuildLater_.schedule();
}

void SidebarList::watchRuntimes()
{
    for (const Project& project : ui_.model.projects()) {
        ProjectRuntime* runtime = ui_.model.runtimeFor(project.path);
        QPointer<ProjectRuntime>& known = watched_[project.path];
        if (known == runtime)
            continue;
        known = runtime;
        connect(runtime, &ProjectRuntime::statusChanged, this, &SidebarList::scheduleRebuild);
        connect(runtime, &ProjectRuntime::urlChanged, this, &SidebarList::scheduleRebuild);
    }
}

SidebarRow* SidebarList::takeRow(const QString& path)
{
    SidebarRow*& row = rows_[path];
    if (!row) {
        row = new SidebarRow(clock_, ui_.theme.palette(), content_);
        AppModel* model = &ui_.model;
        connect(row, &SidebarRow::clicked, this, [this, model](const QString& p) {
            keyboardFocus_ = false; // a click hides the focus ring until the keyboard moves
            model->select(p);
            updateFocusRing();
        });
        connect(row, &SidebarRow::favoriteToggled, model, &AppModel::setFavorite);
        connect(row, &SidebarRow::startRequested, this,
                [model](const QString& p) { model->startProject(p); });
        connect(row, &SidebarRow::stopRequested, model, &AppModel::stopProject);
        connect(row, &SidebarRow::contextMenuRequested, this, &SidebarList::showContextMenu);
    }
    return row;
}

void SidebarList::rebuild()
{
    rebuildLater_.settle();
    watchRuntimes();
    AppModel& model = ui_.model;
    sections_ = sidebarSections(
        model.visibleProjects(), query_,
        [&model](const Project& p) { return model.displayName(p); },
        [&model](const Project& p) { return model.runtimeFor(p.path)->status().isActive(); });

    while (layout_->count() > 0)
        delete layout_->takeAt(0);

    QSet<QString> shown;
    QSet<SectionTitle*> usedTitles;
    for (const SidebarSection& section : std::as_const(sections_)) {
        // Titles are kept per section, so a count animates from that section's own figure
        // even when another section held this place before.
        SectionTitle*& title = titles_[section.title];
        if (!title) {
            title = new SectionTitle(content_);
            title->applyPalette(ui_.theme.palette());
        }
        usedTitles.insert(title);
        title->setContent(section.title, int(section.projects.size()));
        layout_->addWidget(title);
        title->show();
        for (const Project& project : section.projects) {
            SidebarRow* row = takeRow(project.path);
            row->setContent(rowContent(model, project));
            row->setSelected(model.selection() == project.path);
            layout_->addWidget(row);
            row->show();
            shown.insert(project.path);
        }
    }
    for (SectionTitle* title : std::as_const(titles_)) {
        if (!usedTitles.contains(title))
            title->hide();
    }
    // Rows of projects that left the registry go; filtered-out rows are only hidden.
    for (auto it = rows_.begin(); it != rows_.end();) {
        if (shown.contains(it.key())) {
            ++it;
            continue;
        }
        if (!model.findProject(it.key())) {
            delete it.value();
            watched_.remove(it.key());
            it = rows_.erase(it);
        } else {
            it.value()->hide();
            it.value()->setHovered(false);
            ++it;
        }
    }

    const bool empty = sections_.isEmpty();
    emptyLabel_->setText(query_.trimmed().isEmpty() ? QStringLiteral("No projects")
                                                    : QStringLiteral("No matches"));
    if (empty)
        layout_->addWidget(emptyState_);
    emptyState_->setVisible(empty);
    layout_->addStretch(1);
    updateFocusRing();
}

void SidebarList::updateFocusRing()
{
    const bool ring = hasFocus() && keyboardFocus_;
    for (SidebarRow* row : std::as_const(rows_))
        row->setFocusRing(ring && row->isSelected());
}

void SidebarList::focusInEvent(QFocusEvent* event)
{
    QScrollArea::focusInEvent(event);
    keyboardFocus_ = FocusRing::cameFromKeyboard(this);
    updateFocusRing();
}

void SidebarList::focusOutEvent(QFocusEvent* event)
{
    QScrollArea::focusOutEvent(event);
    keyboardFocus_ = false;
    updateFocusRing();
}

void SidebarList::keyPressEvent(QKeyEvent* event)
{
    const int step = event->key() == Qt::Key_Up ? -1 : event->key() == Qt::Key_Down ? 1 : 0;
    if (step == 0) {
        QScrollArea::keyPressEvent(event);
        return;
    }
    keyboardFocus_ = true; // walking the list shows where the focus is
    const auto next = neighbourSelection(displayedOrder(sections_), ui_.model.selection(), step);
    if (next && next != ui_.model.selection()) {
        ui_.model.select(next);
        if (SidebarRow* row = rows_.value(*next))
            ensureWidgetVisible(row, 0, 0);
    }
    updateFocusRing();
    event->accept();
}

void SidebarList::showContextMenu(const QString& path, const QPoint& globalPos)
{
    const auto project = ui_.model.findProject(path);
    if (!project)
        return;
    QMenu* menu = ProjectActions::contextMenu(ui_, *project, this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

void SidebarList::applyColours()
{
    const Palette& p = ui_.theme.palette();
    for (SectionTitle* title : std::as_const(titles_))
        title->applyPalette(p);
    for (SidebarRow* row : std::as_const(rows_))
        row->setPalette(p);
    QPalette pal = emptyState_->palette();
    pal.setColor(QPalette::WindowText, p.secondaryText);
    emptyState_->setPalette(pal);
    emptyLabel_->setPalette(pal);
}
