#pragma once

#include "desktop/external_app.h"

#include <optional>

// The application to use for a stored selection ("" for automatic, a catalogue identifier,
// or an executable path): the installed app with that identifier; else, for an absolute path
// that exists, an app named after the path's last component without its extension; else the
// first installed app; none when nothing is installed.
std::optional<ExternalApp> resolveApp(const QString& selection,
                                      const QList<ExternalApp>& installed);

// The display name of an application chosen by path: "/opt/Foo.app" -> "Foo".
QString appNameFromPath(const QString& path);
