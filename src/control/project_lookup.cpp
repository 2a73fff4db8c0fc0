#include "control/project_lookup.h"

#include "base/paths.h"

namespace {

bool looksLikePath(const QString& name)
{
    return name.startsWith(u'/') || name.startsWith(u'~') || name.startsWith(u'.') ||
           name.contains(u'/');
}

QString absolutePath(const QString& name, const QString& workingFolder)
{
    if (name.startsWith(u'/') || name.startsWith(u'~') || workingFolder.isEmpty())
        return standardizePath(name);
    return standardizePath(joinPath(workingFolder, name));
}

const NamedProject* withPath(const QString& path, const QList<NamedProject>& projects)
{
    for (const NamedProject& project : projects)
        if (project.path == path)
            return &project;
    return nullptr;
}

} // namespace

std::variant<QString, LookupFailure> lookUpProject(const QString& name,
                                                   const QString& workingFolder,
                                                   const QList<NamedProject>& projects)
{
    // A display name is the sidebar's own label; it may hold a slash ("api  (one/api)").
    QList<const NamedProject*> matches;
    for (const NamedProject& project : projects)
        if (project.displayName == name)
            matches.append(&project);
    if (matches.size() == 1)
        return matches.first()->path;

    const QString path = absolutePath(name, workingFolder);
    if (looksLikePath(name)) {
        if (withPath(path, projects))
            return path;
        return LookupFailure{QStringLiteral("No project at ") + path, {}};
    }
    if (matches.isEmpty())
        for (const NamedProject& project : projects)
            if (project.workerName == name || project.runningName == name)
                matches.append(&project);
    if (matches.isEmpty())
        if (const NamedProject* folder = withPath(path, projects))
            matches.append(folder);

    if (matches.size() == 1)
        return matches.first()->path;
    if (matches.isEmpty())
        return LookupFailure{QStringLiteral("No project named \"%1\"").arg(name), {}};
    LookupFailure ambiguous{QStringLiteral("\"%1\" names %2 projects; use a path or a display name")
                                .arg(name)
                                .arg(matches.size()),
                            {}};
    for (const NamedProject* project : std::as_const(matches))
        ambiguous.candidates.append(project->displayName + QStringLiteral("  ") + project->path);
    return ambiguous;
}
