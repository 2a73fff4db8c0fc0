#pragma once

#include <QStringList>

class AppModel;
class ControlReply;

// Answers `start --with-services`: starts each project in turn with the registered projects
// it needs. The answer's "results" hold one status entry per project started (dependencies
// first) and, last, each project asked for; "notes" say which bindings reach no local project
// and which projects started together.
void answerServiceStart(AppModel& model, const QStringList& paths, ControlReply* reply);
