#pragma once

#include "base/project.h"

#include <QCollator>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>

// A link to a page of a running project: `path` is appended to the project's address.
struct ProjectLink
{
    QString title;
    QString path;
    QString symbol;

    friend bool operator==(const ProjectLink&, const ProjectLink&) = default;
};

// The links offered for a project; `cms` is the content system found by inspection, if any.
QList<ProjectLink> projectLinksFor(const std::optional<QString>& cms);

// The name a project is shown under everywhere: its name, or when another project (other path)
// has exactly the same name, the name followed by the last two components of its path.
QString displayNameAmong(const Project& project, const QList<Project>& projects);

// The sidebar order: hidden projects dropped unless `showHidden`, sorted by name with a
// locale-aware, case-insensitive comparison, equal names ordered by path.
QList<Project> sortedVisibleProjects(const QList<Project>& projects, bool showHidden);

// The same order, keeping the collation keys of the names it has seen: the list is sorted
// again on every change, and collating a name costs far more than comparing two keys.
// Not thread-safe; one per owner.
class ProjectSorter
{
public:
    ProjectSorter();
    QList<Project> sortedVisible(const QList<Project>& projects, bool showHidden);

private:
    void ensureKey(const QString& name);

    QCollator collator_;
    QHash<QString, QCollatorSortKey> keys_;
};

// Index of the first project with `path` in `projects`, or -1.
qsizetype indexOfProject(const QList<Project>& projects, const QString& path);
