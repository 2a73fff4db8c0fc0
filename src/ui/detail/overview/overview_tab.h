#pragma once

#include "ui/widgets/coalesced_call.h"

#include <QScrollArea>

class BindingsSection;
class DetailsCard;
class ProblemBanners;
class ProjectRuntime;
class TrafficCard;
struct UiContext;

// The Overview tab of one project: its problem lines and banners, the traffic card while the
// server runs, the details card and the Bindings section, in a vertical scroll view. It reads the
// model and the run state and follows their changes; every action goes to the model or a desktop
// service.
class OverviewTab : public QScrollArea
{
    Q_OBJECT

public:
    OverviewTab(UiContext& ui, const QString& projectID, QWidget* parent = nullptr);

    QString projectID() const { return projectID_; }
    ProblemBanners* banners() const { return banners_; }
    TrafficCard* traffic() const { return traffic_; }
    DetailsCard* details() const { return details_; }
    BindingsSection* bindings() const { return bindings_; }

    // Reads everything again; changes arrive batched through scheduleRefresh.
    void refresh();

private:
    void scheduleRefresh();
    void refreshLinkedStatuses();

    UiContext& ui_;
    QString projectID_;
    ProjectRuntime* runtime_;
    ProblemBanners* banners_;
    TrafficCard* traffic_;
    DetailsCard* details_;
    BindingsSection* bindings_;
    CoalescedCall refreshLater_{this, [this] { refresh(); }};
};
