#pragma once

#include "model/app_model.h"
#include "runs/project_status.h"
#include "support/fake_desktop.h"
#include "support/support_dir_override.h"
#include "ui/theme/theme.h"
#include "ui/ui_context.h"
#include "ui/window_actions.h"

#include <QStringList>

#include <memory>

// A model loaded from a real "registry.json" in a temporary support folder, fake desktop
// services, a light theme and a folder chooser that answers from a queue.
class GuiFixture
{
public:
    // Saves the registry, then constructs the model from it.
    explicit GuiFixture(const Registry& registry = {},
                        const QMap<QString, QString>& environment = {});
    ~GuiFixture();

    AppModel& model() { return *model_; }
    Theme& theme() { return theme_; }
    FakeDesktop& desktop() { return desktop_; }
    UiContext& ui() { return *ui_; }
    const SupportDirOverride& support() const { return support_; }

    // The next folder the chooser returns; an empty string cancels.
    void queueFolder(const QString& folder) { folders_.append(folder); }
    // The (prompt, message) pairs the chooser was asked with.
    const QList<QPair<QString, QString>>& chooserRequests() const { return requests_; }

    void setStatus(const QString& path, const ProjectStatus& status);

private:
    SupportDirOverride support_;
    FakeDesktop desktop_;
    Theme theme_;
    std::unique_ptr<AppModel> model_;
    std::unique_ptr<WindowActions> windowActions_;
    std::unique_ptr<UiContext> ui_;
    QStringList folders_;
    QList<QPair<QString, QString>> requests_;
};

// A project record for tests; `root` empty makes a hand-added project.
Project testProject(const QString& path, const QString& name, const QString& root = QString(),
                    bool favorite = false, bool hidden = false);
