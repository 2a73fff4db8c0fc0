#include "ui/sidebar/sidebar_sections.h"

#include <QLocale>

QList<SidebarSection> sidebarSections(const QList<Project>& ordered, const QString& query,
                                      const std::function<QString(const Project&)>& displayName,
                                      const std::function<bool(const Project&)>& isActive)
{
    // Case is folded under the user's locale (a Turkish "ı" matches "I"), not by Unicode's
    // locale-free rule.
    const QLocale locale;
    const QString needle = locale.toLower(query.trimmed());
    SidebarSection favorites{SidebarSection::Kind::favorites, QStringLiteral("Favorites"), {}};
    SidebarSection running{SidebarSection::Kind::running, QStringLiteral("Running"), {}};
    SidebarSection rest{SidebarSection::Kind::rest, QString(), {}};
    for (const Project& project : ordered) {
        if (!needle.isEmpty() && !locale.toLower(displayName(project)).contains(needle))
            continue;
        if (project.isFavorite())
            favorites.projects.append(project);
        else if (isActive(project))
            running.projects.append(project);
        else
            rest.projects.append(project);
    }
    const bool onlyRest = favorites.projects.isEmpty() && running.projects.isEmpty();
    rest.title = onlyRest ? QStringLiteral("Projects") : QStringLiteral("Stopped");

    QList<SidebarSection> sections;
    for (SidebarSection* section : {&favorites, &running, &rest})
        if (!section->projects.isEmpty())
            sections.append(std::move(*section));
    return sections;
}

QList<Project> displayedOrder(const QList<SidebarSection>& sections)
{
    QList<Project> order;
    for (const SidebarSection& section : sections)
        order.append(section.projects);
    return order;
}

std::optional<QString> neighbourSelection(const QList<Project>& order,
                                          const std::optional<QString>& selection, int step)
{
    if (order.isEmpty())
        return selection;
    qsizetype index = -1;
    if (selection)
        for (qsizetype i = 0; i < order.size(); ++i)
            if (order[i].path == *selection) {
                index = i;
                break;
            }
    if (index < 0)
        return order.first().path;
    const qsizetype next = qBound<qsizetype>(0, index + step, order.size() - 1);
    return order[next].path;
}
