#pragma once

#include <QJsonObject>
#include <QString>

class AppModel;

// The answer to `details`: the project as `status` reports it, and what inspection learned of
// it, as the Overview shows it: configuration file and format, entry, compatibility date, run
// mode and its command, package manager, the installed Wrangler and Vite plugin, whether the
// dependencies are ready, the framework, bindings and variable names. Fields inspection has
// not learned are left out; `inspected` says whether there has been an inspection at all.
QJsonObject projectDetails(AppModel& model, const QString& path);
