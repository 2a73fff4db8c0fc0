#pragma once

#include "desktop/external_app.h"

#include <QMap>
#include <QString>
#include <QStringList>

// Finding the catalogue's applications on this machine. The environment is the login-shell
// environment (or its fallback): its PATH is where the user's terminal finds programs.

// Folders searched for executables: the absolute components of the environment's PATH in
// order, then the usual install folders (~/.local/bin, /usr/local/bin, /usr/bin, /bin,
// /snap/bin), each once.
QStringList executableSearchFolders(const QMap<QString, QString>& environment);

// The first of `names` (in their order) that is an executable file in one of `folders`
// (searched in their order), as an absolute path; empty when none is.
QString findExecutable(const QStringList& names, const QStringList& folders);

// The catalogue entries found in `folders`, in catalogue order, with `url` the executable.
QList<ExternalApp> detectInstalled(const QList<CatalogueEntry>& entries,
                                   const QStringList& folders);

QList<ExternalApp> installedTerminals(const QMap<QString, QString>& environment);
QList<ExternalApp> installedEditors(const QMap<QString, QString>& environment);
