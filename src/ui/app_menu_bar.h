#pragma once

#include <QList>
#include <QMenuBar>

class QAction;
class WindowActions;

// The main window's menu bar: "Tallowmere" (About, Settings…, Quit) and "Project" (entries that
// trigger the window's start, restart, stop and rescan commands, which own their shortcuts).
// Each menu opens with Alt and its underlined letter; no entry is ever disabled.
class AppMenuBar : public QMenuBar
{
    Q_OBJECT

public:
    // `projectCommands` in display order; a null entry is a divider.
    explicit AppMenuBar(const QList<QAction*>& projectCommands, QWidget* parent = nullptr);
    // Puts a menu bar with the window's commands at the top of `window` (which has a layout).
    static AppMenuBar* addTo(QWidget* window, const WindowActions& commands);

    QAction* aboutAction() const { return about_; }
    QAction* settingsAction() const { return settings_; }
    QAction* quitAction() const { return quit_; }

signals:
    void aboutRequested();
    void settingsRequested();
    void quitRequested();

private:
    QAction* about_;
    QAction* settings_;
    QAction* quit_;
};
