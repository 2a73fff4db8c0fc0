#pragma once

#include <QWidget>

class IconButton;
class IconView;
class PulseClock;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class SidebarList;
struct UiContext;

// The sidebar: the search field, the sectioned project list and the bottom bar with the add
// menu, the scanning indicator and the settings button. The query lives here and is lost with
// the window; everything else is the model's.
class SidebarView : public QWidget
{
    Q_OBJECT

public:
    SidebarView(UiContext& ui, PulseClock& clock, QWidget* parent = nullptr);

    SidebarList* list() const { return list_; }
    QLineEdit* searchField() const { return search_; }
    // The add menu as it would open now (rebuilt each time it is shown).
    QMenu* addMenu() const { return addMenu_; }
    void refreshAddMenu();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void applyColours();
    void updateScanning();

    UiContext& ui_;
    QLineEdit* search_;
    IconView* searchIcon_;
    IconButton* clearButton_;
    SidebarList* list_;
    IconButton* addButton_;
    QMenu* addMenu_;
    QWidget* scanning_;
    QLabel* scanningLabel_;
    IconButton* settingsButton_;
};
