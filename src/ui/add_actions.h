#pragma once

#include <QString>

#include <functional>

struct UiContext;
class QWidget;

// The two ways of adding projects, shared by the sidebar's add menu and the welcome screen.
namespace AddActions {

// Chooses a folder and registers it as a root.
void addRootFolder(UiContext& ui);
// Chooses a folder and registers it as one project; a refusal is shown as a warning alert.
void addSingleProject(UiContext& ui);

// The default folder chooser: a window-modal dialog on `parent` that accepts one folder.
void chooseFolderWithDialog(QWidget* parent, const QString& prompt, const QString& message,
                            const std::function<void(const QString&)>& chosen);

} // namespace AddActions
