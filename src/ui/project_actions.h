#pragma once

#include <QString>

class QMenu;
class QWidget;
struct Project;
struct UiContext;

// Actions on one project shared by the sidebar, the header and (later) the tray menu. Each one
// calls a model operation or a desktop service; none keeps state.
namespace ProjectActions {

void reveal(UiContext& ui, const QString& path);
// `relativePath` names a file of the project to open instead of its folder.
void openInEditor(UiContext& ui, const QString& path, const QString& relativePath = QString());
void openInTerminal(UiContext& ui, const QString& path);
// "Open in " + the editor's name, or "Editor" with a custom command or no known editor.
QString editorTitle(const UiContext& ui);
// "Open in " + the terminal's name, or "Terminal" when none is known.
QString terminalTitle(const UiContext& ui);

// The sidebar's context menu for a project: Start/Stop, favourite, reveal, show/hide and, for
// a project added by hand, "Remove Project". The caller owns and shows the menu.
QMenu* contextMenu(UiContext& ui, const Project& project, QWidget* parent);

} // namespace ProjectActions
