#pragma once

#include "model/detail_tab.h"

#include <QString>

class QWidget;
struct UiContext;

// Builds the content of one detail tab for one project. The detail view calls it the first
// time a tab is shown and keeps the widget while the same project stays selected; selecting
// another project deletes the widgets, and each tab is built again for the new project when
// it is next shown. A tab widget therefore holds one project for its whole life and never
// needs to follow a change of selection.
//
// Shown and hidden: the detail view shows only the selected tab (the others are hidden pages
// of a stack), so a tab that does work only while visible (a web view, an animation) starts
// it in its own showEvent and stops it in its hideEvent. Both also arrive when the whole
// window is shown or hidden.
QWidget* createDetailTab(DetailTab tab, UiContext& ui, const QString& projectID, QWidget* parent);
