#pragma once

#include "ui/detail/project_detail_view.h"

#include <QPointer>
#include <QWidget>

class EmptyStateView;
class PulseClock;
class QSplitter;
class QStackedWidget;
class FocusRing;
class SidebarView;
class WindowActions;
struct UiContext;

// The main window: the sidebar beside the detail area, which shows the selected project or,
// with nothing selected, the welcome screen. It reads the model and changes nothing itself.
class MainWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int sidebarMinimum = 230;
    static constexpr int sidebarIdeal = 270;
    static constexpr int sidebarMaximum = 340;

    explicit MainWindow(UiContext& ui, QWidget* parent = nullptr);
    ~MainWindow() override;

    SidebarView* sidebar() const { return sidebar_; }
    EmptyStateView* welcome() const { return welcome_; }
    // The detail of the selected project; null while the welcome screen shows.
    ProjectDetailView* detail() const { return detail_; }
    // The commands whose shortcuts work anywhere in this window.
    WindowActions* windowActions() const;
    FocusRing* focusRing() const { return focusRing_; }

signals:
    // The window came on screen / went away (the model's poll follows these).
    void appeared();
    void disappeared();
    // The first frame has been painted.
    void firstPainted();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void showSelection();

    UiContext& ui_;
    PulseClock* clock_;
    QSplitter* split_;
    SidebarView* sidebar_;
    QStackedWidget* detailArea_;
    EmptyStateView* welcome_;
    QPointer<ProjectDetailView> detail_;
    FocusRing* focusRing_ = nullptr;
    bool painted_ = false;
};
