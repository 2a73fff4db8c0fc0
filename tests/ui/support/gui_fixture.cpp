#include "ui/support/gui_fixture.h"

#include "runs/project_runtime.h"
#include "storage/registry_file.h"
#include "support/run_state_access.h"
#include "ui/window_actions.h"

GuiFixture::GuiFixture(const Registry& registry, const QMap<QString, QString>& environment)
{
    if (!registry.projects.isEmpty() || !registry.roots.isEmpty())
        saveRegistry(registry);
    AppModelContext context;
    context.environment = environment;
    context.desktop = desktop_.services();
    model_ = std::make_unique<AppModel>(std::move(context));
    windowActions_ = std::make_unique<WindowActions>(*model_);
    ui_ = std::make_unique<UiContext>(UiContext{
        *model_, theme_, desktop_.workspace, desktop_.alerts, {}, {}, {}, windowActions_.get()});
    ui_->chooseFolder = [this](const QString& prompt, const QString& message,
                               const std::function<void(const QString&)>& chosen) {
        requests_.append({prompt, message});
        const QString folder = folders_.isEmpty() ? QString() : folders_.takeFirst();
        if (!folder.isEmpty())
            chosen(folder);
    };
}

GuiFixture::~GuiFixture() = default;

void GuiFixture::setStatus(const QString& path, const ProjectStatus& status)
{
    RunStateTestAccess::setStatus(*model_->runtimeFor(path), status);
}

Project testProject(const QString& path, const QString& name, const QString& root, bool favorite,
                    bool hidden)
{
    Project project;
    project.path = path;
    project.configFile = QStringLiteral("wrangler.jsonc");
    project.name = name;
    if (!root.isEmpty())
        project.rootPath = root;
    if (favorite)
        project.favorite = true;
    project.hidden = hidden;
    return project;
}
