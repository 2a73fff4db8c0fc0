#pragma once

#include "presentation/binding_items.h"

#include <QWidget>

#include <functional>

class QVBoxLayout;
struct StatusDisplay;
struct UiContext;

// The bindings as rows: the kind's icon in its colour, title, subtitle, tag, and an actions
// menu. A service that is another local project shows that project's status dot.
class BindingListView : public QWidget
{
    Q_OBJECT

public:
    using StatusOf = std::function<StatusDisplay(const QString& projectID)>;

    BindingListView(UiContext& ui, StatusOf statusOf, QWidget* parent = nullptr);

    // Rebuilds the rows only when the items changed.
    void setItems(const QList<BindingItem>& items);
    // Repaints the status dots of local services (also after a change of scheme).
    void refreshStatuses();

private:
    QWidget* row(int index);

    UiContext& ui_;
    StatusOf statusOf_;
    QList<BindingItem> items_;
    bool built_ = false;
    QVBoxLayout* layout_;
};
