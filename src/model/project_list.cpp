#include "model/project_list.h"

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
    ProjectSorter sorter;
    return sorter.sortedVisible(projects, showHidden);
}

namespace {

// The C locale has no collation rules of its own (Qt then compares code points, case
// included): names are sorted as in English there.
QLocale collationLocale()
{
    const QLocale system;
    return system.language() == QLocale::C ? QLocale(QLocale::English) : system;
}

} // namespace

ProjectSorter::ProjectSorter() : collator_(collationLocale())
{
    collator_.setCaseSensitivity(Qt::CaseInsensitive);
}

void ProjectSorter::ensureKey(const QString& name)
{
    if (!keys_.contains(name))
        keys_.insert(name, collator_.sortKey(name));
}

QList<Project> ProjectSorter::sortedVisible(const QList<Project>& projects, bool showHidden)
{
    // Names of projects long gone would otherwise pile up.
    if (keys_.size() > 2 * projects.size() + 64)
        keys_.clear();
    struct Entry
    {
        const QCollatorSortKey* key;
        const Project* project;
    };
    // Keys are made first: an insertion may move the keys already taken.
    for (const Project& project : projects)
        if (showHidden || !project.hidden)
            ensureKey(project.name);
    std::vector<Entry> entries;
    entries.reserve(projects.size());
    for (const Project& project : projects)
        if (showHidden || !project.hidden)
            entries.push_back({&keys_.constFind(project.name).value(), &project});
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (const int order = a.key->compare(*b.key); order != 0)
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
