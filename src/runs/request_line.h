#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// Recognises what a Wrangler dev server prints about the requests it answers. Works on single
// lines already split and cleaned of escape sequences; the results view into the line. Pure;
// safe on any thread.
namespace OutputParser {

// "[wrangler:info] METHOD /path STATUS STATUSTEXT (Nms)", printed once a response is sent.
// The status text may be empty (two spaces before the time) and an extra note may follow the
// time. The path carries no query string.
struct RequestLine
{
    QStringView method;
    QStringView path;
    int status = 0;
    QStringView statusText;
    int durationMs = 0;
    QStringView note; // what follows the time, if anything
};
std::optional<RequestLine> requestLine(QStringView line);

// "[wrangler:error] Name: message": an exception the Worker did not catch. Its stack follows
// on lines of its own, and the request it broke is logged afterwards with status 500.
struct UncaughtException
{
    QStringView name;
    QStringView message;
};
std::optional<UncaughtException> uncaughtException(QStringView line);

// "✘ [ERROR] message" on standard error: console.error in the Worker, or Wrangler's own error
// frame. Returns the message.
std::optional<QStringView> errorLog(QStringView line);

} // namespace OutputParser
