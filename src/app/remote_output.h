#pragma once

#include "control/control_protocol.h"

#include <QJsonArray>
#include <QJsonObject>

// How the remote subcommands print what the instance answered.

// The status as an aligned table, or with `json` as one document (the layout is in README).
void printStatus(const QJsonArray& projects, bool json);
// The display names, one per line (for shell completion).
void printNames(const QJsonArray& projects);
// One line per project of a start, stop or restart; failures go to standard error. Returns
// whether every project succeeded.
bool printResults(ControlCommand command, const QJsonArray& results);
// A "line" message of `logs`: standard output, or standard error for the server's errors.
void printLogLine(const QJsonObject& message);
// The end of `logs --follow`: how the server ended.
void printLogEnd(const QJsonObject& answer, bool followed);
