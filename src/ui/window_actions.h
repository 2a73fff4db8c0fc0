#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class AppModel;
class ProjectRuntime;
class QAction;

// The commands of the window, each one QAction that owns its keyboard shortcuts: Start,
// Stop and Restart act on the model's selected project, Rescan Folders on the roots. The
// header's buttons, the menus and the tray trigger these actions; the main window adds them to
// itself, so their shortcuts work anywhere in it. No other place binds these keys.
//
// Start is enabled while the selected project is not active, Stop and Restart while it is, as
// the header shows its buttons; Rescan Folders always.
class WindowActions : public QObject
{
    Q_OBJECT

public:
    explicit WindowActions(AppModel& model, QObject* parent = nullptr);

    QAction* start() const { return start_; }
    QAction* stop() const { return stop_; }
    QAction* restart() const { return restart_; }
    QAction* rescan() const { return rescan_; }
    // Every action, for QWidget::addActions.
    QList<QAction*> all() const { return {start_, stop_, restart_, rescan_}; }

private:
    void followSelection();
    void updateEnabled();

    AppModel& model_;
    QAction* start_;
    QAction* stop_;
    QAction* restart_;
    QAction* rescan_;
    QPointer<ProjectRuntime> runtime_;
};
