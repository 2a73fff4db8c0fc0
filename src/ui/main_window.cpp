#include "ui/main_window.h"

#include "model/app_model.h"
#include "ui/about/product.h"
#include "ui/add_actions.h"
#include "ui/detail/project_detail_view.h"
#include "ui/sidebar/sidebar_list.h"
#include "ui/sidebar/sidebar_view.h"
#include "ui/theme/theme.h"
#include "ui/ui_context.h"
#include "ui/welcome/empty_state_view.h"
#include "ui/widgets/focus_ring.h"
#include "ui/widgets/status_dot.h"
#include "ui/window_actions.h"

#include <QHideEvent>
#include <QPainter>
#include <QShowEvent>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

MainWindow::MainWindow(UiContext& ui, QWidget* parent)
    : QWidget(parent, Qt::Window), ui_(ui), clock_(ui.frames ? ui.frames : new PulseClock(this)),
      split_(new QSplitter(Qt::Horizontal, this)), sidebar_(new SidebarView(ui, *clock_, split_)),
      detailArea_(new QStackedWidget(split_)), welcome_(new EmptyStateView(ui.theme, detailArea_))
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(Product::name);
    setMinimumSize(820, 520);
    resize(1120, 740);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(split_);
    split_->setObjectName(QStringLiteral("mainSplit"));
    split_->setHandleWidth(1);
    split_->setChildrenCollapsible(false);
    split_->addWidget(sidebar_);
    split_->addWidget(detailArea_);
    split_->setStretchFactor(0, 0);
    split_->setStretchFactor(1, 1);
    split_->setSizes({sidebarIdeal, 1120 - sidebarIdeal});
    detailArea_->setObjectName(QStringLiteral("detailArea"));
    detailArea_->addWidget(welcome_);

    UiContext* context = &ui_;
    connect(welcome_, &EmptyStateView::addRootRequested, this,
            [context] { AddActions::addRootFolder(*context); });
    connect(welcome_, &EmptyStateView::addProjectRequested, this,
            [context] { AddActions::addSingleProject(*context); });
    connect(&ui_.model, &AppModel::selectionChanged, this, &MainWindow::showSelection);
    connect(&ui_.model, &AppModel::projectsChanged, this, &MainWindow::showSelection);
    connect(&ui_.theme, &Theme::schemeChanged, this, qOverload<>(&QWidget::update));
    if (ui_.windowActions)
        addActions(ui_.windowActions->all());
    showSelection();
    focusRing_ = new FocusRing(ui_.theme, this);
    // Up and Down work at once: the list, not the search field, starts with the focus.
    sidebar_->list()->setFocus();
}

MainWindow::~MainWindow() = default;

WindowActions* MainWindow::windowActions() const
{
    return ui_.windowActions;
}

void MainWindow::showSelection()
{
    const auto& selection = ui_.model.selection();
    const bool exists = selection && ui_.model.findProject(*selection);
    if (exists && detail_) {
        // The view stays; only what belongs to the project changes.
        detail_->setProject(*selection);
        return;
    }
    if (detail_) {
        // Removing the view ends its tasks (the inspection and the memory refresh).
        detailArea_->removeWidget(detail_);
        delete detail_;
    }
    if (!exists) {
        detailArea_->setCurrentWidget(welcome_);
        return;
    }
    detail_ = new ProjectDetailView(ui_, *selection, detailArea_);
    detailArea_->addWidget(detail_);
    detailArea_->setCurrentWidget(detail_);
}

void MainWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        emit appeared();
}

void MainWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        emit disappeared();
}

void MainWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), ui_.theme.palette().windowBackground);
    if (!painted_) {
        painted_ = true;
        // After this paint has reached the backing store.
        QTimer::singleShot(0, this, &MainWindow::firstPainted);
    }
}
