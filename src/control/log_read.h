#pragma once

#include "control/control_protocol.h"
#include "runs/log_buffer.h"

#include <QJsonObject>

class AppModel;

// The answer to `lines`: the chosen lines of a project's log in one message, each with its id,
// so that a client can ask next time for the lines after the last id it saw.
//   lines:     [{id, text, stderr?}], oldest first
//   lastId:    the id to pass as `after` next time (the newest line read or passed over), or
//              none while the log never held a line
//   more:      true when lines after the last one returned matched but were left for later
//   missed:    how many lines after `after` are gone (trimmed or cleared) before this read
//   restarted: true when `after` is an id this log never gave out (the application has
//              restarted since); the last lines are read instead
//   status, message?, external?: the server's state
QJsonObject readLog(AppModel& model, const QString& path, const ControlRequest& request);

// The selection alone, on a buffer's lines and its next id.
QJsonObject selectLogLines(const QList<LogLine>& lines, qint64 nextID,
                           const ControlRequest& request);
