#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <variant>

// What a project can be named by on the command line.
struct NamedProject
{
    QString path;        // standardized, the project's identity
    QString displayName; // as the sidebar shows it
    QString workerName;  // the configuration's name (may equal the display name)
    QString runningName; // the name it runs under with its chosen environment ("api-staging")
};

// A name that names no project, or more than one: the message, and for an ambiguous name one
// "display name  path" line per candidate.
struct LookupFailure
{
    QString message;
    QStringList candidates;
};

// Finds the project NAME stands for. A display name wins. Otherwise a name that looks like a
// path ("/", "~", "." or a slash in it) is standardized against `workingFolder` and must be a
// project's path; any other name is a worker name (the configuration's, or the one it runs under
// with its environment), or as the last resort a folder relative to
// `workingFolder`. Exact, case-sensitive matches only.
std::variant<QString, LookupFailure> lookUpProject(const QString& name,
                                                   const QString& workingFolder,
                                                   const QList<NamedProject>& projects);
