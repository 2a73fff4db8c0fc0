#pragma once

#include "ui/detail/overview/binding_diagram.h"
#include "ui/detail/overview/bindings_layout.h"

#include <QWidget>

class BindingListView;
class QLabel;
class QPushButton;
struct UiContext;

// The Bindings section: its header with the item count and the "Diagram" / "List" toggle, then
// the items in the chosen layout, or an empty state.
class BindingsSection : public QWidget
{
    Q_OBJECT

public:
    BindingsSection(UiContext& ui, const QString& projectID, QWidget* parent = nullptr);

    // Before the first inspection (`inspected` false) nothing is known: no count, no empty state.
    void setContent(const DiagramContent& content, bool inspected = true);
    BindingsLayout bindingsLayout() const { return layout_; }
    void setBindingsLayout(BindingsLayout layout);
    BindingDiagram* diagram() const { return diagram_; }
    BindingListView* list() const { return list_; }
    // Repaints the status dots of linked local projects.
    void refreshStatuses();

private:
    void bindColours();
    void showLayout();

    UiContext& ui_;
    BindingsLayout layout_;
    QLabel* title_;
    QLabel* count_;
    QWidget* toggle_;
    QPushButton* diagramButton_;
    QPushButton* listButton_;
    QWidget* empty_;
    BindingDiagram* diagram_;
    BindingListView* list_;
    QList<BindingItem> items_;
    bool hasItems_ = false;
    bool inspected_ = false;
};
