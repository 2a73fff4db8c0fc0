#include "core/model/project_list.h"

#include <QCollator>

#include <algorithm>

QList<ProjectLink> projectLinksFor(const std::optional<QString>& cms)
{
    QList<ProjectLink> links{
        {QStringLiteral("Open Site"), QStringLiteral("/"), QStringLiteral("safari")}};
    if (cms == QStringLiteral("EmDash"))
        links.append({QStringLiteral("Open EmDash Admin (Login)"), QStringLiteral("/_emdash/admin"),
                      QStringLiteral("person.badge.key")});
    return links;
}

namespace {

QString lastTwoComponents(const QString& path)
{
    const QStringList parts = path.split(u'/', Qt::SkipEmptyParts);
    if (parts.size() <= 1)
        return parts.value(0);
    return parts[parts.size() - 2] + u'/' + parts.last();
}

} // namespace

QString displayNameAmong(const Project& project, const QList<Project>& projects)
{
    const bool shared = std::any_of(projects.begin(), projects.end(), [&](const Project& other) {
        return other.name == project.name && other.path != project.path;
    });
    if (!shared)
        return project.name;
    return project.name + QStringLiteral("  (") + lastTwoComponents(project.path) + u')';
}

QList<Project> sortedVisibleProjects(const QList<Project>& projects, bool showHidden)
{
    // Sort keys are computed once per project: comparing keys is a byte comparison, while
    // comparing strings through the collator each time costs a full collation per step.
    struct Entry
    {
        QCollatorSortKey key;
        const Project* project;
    };
    // The C locale has no collation rules of its own (Qt then compares code points, case
    // included): names are sorted as in English there.
    const QLocale locale =
        QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale();
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<Entry> entries;
    entries.reserve(projects.size());
    for (const Project& project : projects)
        if (showHidden || !project.hidden)
            entries.push_back({collator.sortKey(project.name), &project});
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (const int order = a.key.compare(b.key); order != 0)
            return order < 0;
        return a.project->path < b.project->path;
    });
    QList<Project> result;
    result.reserve(qsizetype(entries.size()));
    for (const Entry& entry : entries)
        result.append(*entry.project);
    return result;
}

qsizetype indexOfProject(const QList<Project>& projects, const QString& path)
{
    for (qsizetype i = 0; i < projects.size(); ++i)
        if (projects[i].path == path)
            return i;
    return -1;
}
