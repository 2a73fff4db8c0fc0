#pragma once

#include <QWidget>

class Theme;

// The welcome screen of the detail area while no project is selected: what the application
// does, the two ways to add projects, and what it promises about the user's files.
class EmptyStateView : public QWidget
{
    Q_OBJECT

public:
    explicit EmptyStateView(Theme& theme, QWidget* parent = nullptr);

signals:
    void addRootRequested();
    void addProjectRequested();
};
