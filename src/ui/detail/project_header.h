#pragma once

#include "ui/widgets/coalesced_call.h"

#include <QPointer>
#include <QWidget>

class IconButton;
class IconView;
class MemoryBadge;
class ProjectRuntime;
class QLabel;
class QMenu;
class QPushButton;
struct UiContext;

// The top of a project's detail: its framework's logo, its name, status chip, Wrangler
// environment, memory badge and processor share, and the action row (Start or Stop and
// Restart, the address, the admin link, the More menu). Redrawn from the model and the run
// state whenever one of them changes.
class ProjectHeader : public QWidget
{
    Q_OBJECT

public:
    ProjectHeader(UiContext& ui, const QString& projectID, QWidget* parent = nullptr);

    QString projectID() const { return projectID_; }
    // Shows another project in place.
    void setProject(const QString& projectID);
    // The More menu as it would open now.
    QMenu* moreMenu() const { return moreMenu_; }
    void refreshMoreMenu();
    // Applies the current state now (otherwise on the next event loop turn).
    void refresh();

private:
    void watchRuntime();
    void scheduleRefresh();
    void applyColours();
    void openAddress();
    void openAdminLink();

    UiContext& ui_;
    QString projectID_;
    QPointer<ProjectRuntime> runtime_;
    IconView* kindIcon_;
    QLabel* title_;
    QWidget* chip_;
    IconView* chipIcon_;
    QLabel* chipLabel_;
    QLabel* environment_;
    MemoryBadge* memory_;
    QLabel* cpu_;
    QPushButton* start_;
    QPushButton* stop_;
    QPushButton* restart_;
    QPushButton* address_;
    QPushButton* admin_;
    IconButton* more_;
    QMenu* moreMenu_;
    QString adminPath_;
    CoalescedCall refreshLater_{this, [this] { refresh(); }};
};

// The label of the address button: host ":" port (80 without a port), or the whole address
// when it has no host.
QString addressLabel(const QUrl& address);
