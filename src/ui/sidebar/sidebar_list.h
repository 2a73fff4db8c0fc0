#pragma once

#include "ui/sidebar/sidebar_sections.h"
#include "ui/widgets/coalesced_call.h"

#include <QHash>
#include <QPointer>
#include <QScrollArea>

class OnScreenTimer;
class PulseClock;
class ProjectRuntime;
class QLabel;
class QVBoxLayout;
class SectionTitle;
class SidebarRow;
struct UiContext;

// The sectioned project list of the sidebar. Rebuilt (coalesced, rows reused by path) whenever
// the projects, their inspection, their run states, the selection or the query change.
// Up and Down move the selection in displayed order.
class SidebarList : public QScrollArea
{
    Q_OBJECT

public:
    SidebarList(UiContext& ui, PulseClock& clock, QWidget* parent = nullptr);

    void setQuery(const QString& query);
    const QList<SidebarSection>& sections() const { return sections_; }
    // The row showing a project, if it is listed.
    SidebarRow* rowFor(const QString& path) const;
    // Applies pending changes now (the list otherwise rebuilds on the next event loop turn).
    void rebuildNow();

    // How often the running rows' traffic figures are read while the list is on the screen.
    static constexpr int trafficMillis = 2000;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void scheduleRebuild();
    // The selected row shows the focus ring while the list has the focus from the keyboard.
    void updateFocusRing();
    void rebuild();
    void watchRuntimes();
    // The traffic figures of the running rows, read again while the list is on the screen.
    void refreshTraffic();
    void applyColours();
    void showContextMenu(const QString& path, const QPoint& globalPos);
    SidebarRow* takeRow(const QString& path);

    UiContext& ui_;
    PulseClock& clock_;
    QString query_;
    bool keyboardFocus_ = false;
    QList<SidebarSection> sections_;
    QWidget* content_;
    QVBoxLayout* layout_;
    QWidget* emptyState_;
    QLabel* emptyLabel_;
    QHash<QString, SectionTitle*> titles_; // by section title
    QHash<QString, SidebarRow*> rows_;
    QHash<QString, QPointer<ProjectRuntime>> watched_;
    CoalescedCall rebuildLater_{this, [this] { rebuild(); }};
    OnScreenTimer* trafficTimer_;
};
