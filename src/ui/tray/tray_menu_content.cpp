#include "ui/tray/tray_menu_content.h"

#include "model/app_model.h"
#include "model/service_links.h"
#include "runs/project_runtime.h"
#include "ui/sidebar/sidebar_sections.h"

namespace {

QString glyph(ProjectStatus::Kind kind)
{
    switch (kind) {
    case ProjectStatus::Kind::running: return QStringLiteral("●");
    case ProjectStatus::Kind::starting: return QStringLiteral("◐");
    case ProjectStatus::Kind::stopped:
    case ProjectStatus::Kind::error: break;
    }
    return QStringLiteral("○");
}

} // namespace

QString trayProjectTitle(const QString& name, const ProjectStatus& status,
                         const std::optional<QUrl>& address, std::optional<int> configuredPort)
{
    std::optional<int> port;
    if (address && address->port() > 0)
        port = address->port();
    else if (status.isActive())
        port = configuredPort;
    QString title = glyph(status.kind()) + QStringLiteral("  ") + name;
    if (port)
        title += QStringLiteral("  :") + QString::number(*port);
    return title;
}

TrayMenuContent trayMenuContent(AppModel& model)
{
    const auto isActive = [&model](const Project& project) {
        return model.runtimeFor(project.path)->status().isActive();
    };
    const auto displayName = [&model](const Project& project) {
        return model.displayName(project);
    };
    TrayMenuContent content;
    for (const SidebarSection& section :
         sidebarSections(model.visibleProjects(), QString(), displayName, isActive)) {
        QList<TrayProjectEntry> group;
        for (const Project& project : section.projects) {
            const ProjectRuntime* runtime = model.runtimeFor(project.path);
            TrayProjectEntry entry;
            entry.path = project.path;
            entry.title =
                trayProjectTitle(project.name, runtime->status(), runtime->url(), project.port);
            entry.active = runtime->status().isActive();
            entry.hasLocalServices = needsLocalServices(model, project.path);
            for (const ProjectLink& link : model.projectLinks(project.path))
                if (link.path != QStringLiteral("/"))
                    entry.links.append(link);
            group.append(entry);
        }
        content.groups.append(group);
    }
    return content;
}
