#pragma once

#include <QString>

// What a log line is, judged by its text alone (whether it came from standard error plays no
// part): the first rule that matches wins. The Logs view styles each kind; the command line
// and the MCP server use it to pick out the problems.
enum class LogLineKind {
    stackFrame,   // "    at handler (src/index.ts:3:9)", quiet even when it names an error
    announcement, // "▶ …": the application's own note that a run begins
    aside,        // "■ …" or "↪ …": the application's notes on a run's end or attachment
    error,
    warning,
    ready, // "Ready on …", "listening", "Local …"
    plain,
};

LogLineKind logLineKind(const QString& text);

// Errors and warnings: what "errors and warnings only" keeps.
inline bool isProblem(LogLineKind kind)
{
    return kind == LogLineKind::error || kind == LogLineKind::warning;
}
