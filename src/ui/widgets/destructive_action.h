#pragma once

#include <QColor>

class QAction;
class QMenu;

// Menu entries that destroy something ("Remove Project") are drawn in the error colour, so
// that they stand apart from the ordinary ones. Qt menus have no such role, so the menu is
// given a style that paints the marked entries' text in their colour.
void markDestructive(QMenu* menu, QAction* action, const QColor& colour);

// Whether an entry was marked, and its colour.
bool isDestructive(const QAction* action);
