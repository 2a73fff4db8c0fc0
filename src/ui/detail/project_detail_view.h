#pragma once

#include "model/detail_tab.h"

#include <QMap>
#include <QWidget>

class OnScreenWatch;
class ProjectHeader;
class QStackedWidget;
class QTimer;
class TabBar;
struct UiContext;

// The detail of one project: header, tab bar and the selected tab. Each tab is built the first
// time it is shown (see tab_factory.h) and kept while the project stays. The view refreshes the
// project's inspection once and, while it is on screen, its memory and processor share every 3
// seconds (a hidden or minimised window measures nothing; showing it measures at once); both follow
// `setProject`.
class ProjectDetailView : public QWidget
{
    Q_OBJECT

public:
    ProjectDetailView(UiContext& ui, const QString& projectID, QWidget* parent = nullptr);

    QString projectID() const { return projectID_; }
    // Shows another project in place: the header follows it, the tabs built for the previous
    // one are dropped and built again on demand.
    void setProject(const QString& projectID);

    ProjectHeader* header() const { return header_; }
    TabBar* tabBar() const { return tabBar_; }
    // The widget shown for the selected tab.
    QWidget* currentTab() const;
    // The widget of `tab` for the shown project; null until the tab has been shown.
    QWidget* builtTab(DetailTab tab) const { return pages_.value(tab); }

    static constexpr int usageInterval = 3000; // ms

private:
    bool onScreen() const;
    void showTab();
    void dropTabs();
    void startProjectTasks();
    void measureUsage();
    void applyColours();

    UiContext& ui_;
    QString projectID_;
    ProjectHeader* header_;
    TabBar* tabBar_;
    QStackedWidget* tabs_;
    QMap<DetailTab, QWidget*> pages_;
    QTimer* usageTimer_;
    OnScreenWatch* onScreen_;
    bool measuring_ = false; // a measurement of the shown project is under way
};
