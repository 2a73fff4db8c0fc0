#pragma once

class QMenu;
struct BindingItem;
struct UiContext;

// Fills the actions menu of one binding item: its copy entries in order; "Show in Explorer"
// for data the Local Explorer shows; for a service that is another local project, "Show" and,
// while that project is neither starting nor running, "Start" with its display name.
void fillBindingMenu(QMenu& menu, UiContext& ui, const BindingItem& item);
