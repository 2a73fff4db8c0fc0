#include "ui/sidebar/row_presentation.h"

#include "discovery/environment_choice.h"
#include "discovery/kind_badge.h"
#include "model/app_model.h"
#include "presentation/traffic_card.h"
#include "runs/project_runtime.h"

namespace {

QString stateText(const ProjectStatus& status, const std::optional<QUrl>& url,
                  const QString& frameworkLabel)
{
    switch (status.kind()) {
    case ProjectStatus::Kind::running:
        if (url && url->port() >= 0)
            return QStringLiteral("localhost:") + QString::number(url->port());
        break;
    case ProjectStatus::Kind::starting: return QStringLiteral("Starting…");
    case ProjectStatus::Kind::error: return QStringLiteral("Failed to start");
    case ProjectStatus::Kind::stopped: break;
    }
    return frameworkLabel;
}

} // namespace

QString rowSubtitle(const ProjectStatus& status, const std::optional<QUrl>& url,
                    const QString& frameworkLabel, const QString& environment)
{
    QString state = stateText(status, url, frameworkLabel);
    if (environment.isEmpty())
        return state;
    return state.isEmpty() ? environment : state + QStringLiteral(" · ") + environment;
}

RowContent rowContent(AppModel& model, const Project& project)
{
    const ProjectRuntime* runtime = model.runtimeFor(project.path);
    const ProjectInfo* info = model.infoFor(project.path);
    const KindBadge badge = primaryBadge(info);
    RowContent content;
    content.path = project.path;
    content.displayName = model.displayName(project);
    content.subtitle = rowSubtitle(runtime->status(), runtime->url(), badge.name,
                                   activeEnvironmentName(project, info).value_or(QString()));
    content.kindIcon = kindIcon(info);
    content.status = runtime->status();
    content.favorite = project.isFavorite();
    content.hidden = project.hidden;
    content.traffic = rowTraffic(*runtime);
    return content;
}

QString rowTraffic(const ProjectRuntime& runtime)
{
    if (runtime.status().kind() != ProjectStatus::Kind::running)
        return {};
    return sidebarTrafficText(runtime.activity()->traffic());
}
