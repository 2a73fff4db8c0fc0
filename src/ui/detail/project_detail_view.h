#pragma once

#include "core/model/detail_tab.h"

#include <QWidget>

class ProjectHeader;
class QStackedWidget;
class QTimer;
class TabBar;
struct UiContext;

// The detail of one project: header, tab bar and the selected tab. While it exists it refreshes
// the project's inspection once and its memory every 3 seconds; both stop with the view.
class ProjectDetailView : public QWidget
{
    Q_OBJECT

public:
    ProjectDetailView(UiContext& ui, const QString& projectID, QWidget* parent = nullptr);

    QString projectID() const { return projectID_; }
    ProjectHeader* header() const { return header_; }
    TabBar* tabBar() const { return tabBar_; }
    // The widget shown for the selected tab.
    QWidget* currentTab() const;

    static constexpr int memoryInterval = 3000; // ms

private:
    void showTab();
    void applyColours();

    UiContext& ui_;
    QString projectID_;
    ProjectHeader* header_;
    TabBar* tabBar_;
    QStackedWidget* tabs_;
    QTimer* memoryTimer_;
};
