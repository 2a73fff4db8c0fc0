#pragma once

#include <QString>

class AppModel;

// The text report of the start-and-report run for one project: run mode, status, address,
// link addresses, then the last 25 log lines, separated by single line feeds.
QString startReport(AppModel& model, const QString& path);

// Writes `text` as UTF-8, atomically; a failure is ignored.
void writeReport(const QString& file, const QString& text);
