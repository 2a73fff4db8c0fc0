#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

// The messages of the control socket: one JSON object per line (UTF-8, ending in a line feed),
// each carrying the protocol version as "v". A client sends requests; the instance answers
// each with one final message holding "ok", and `logs --follow` sends "line" messages before.
namespace ControlProtocol {
inline constexpr int version = 1;
// Longest request line, line feed included. Longer input is refused and the client dropped.
inline constexpr qsizetype maxLineBytes = qsizetype(64) * 1024;
} // namespace ControlProtocol

// `lines` and `details` serve the MCP server: the lines of a log as one answer, and what
// inspection knows of a project.
enum class ControlCommand { show, status, start, stop, restart, logs, open, lines, details };

QString rawValue(ControlCommand command);

struct ControlRequest
{
    ControlCommand command = ControlCommand::status;
    // start, stop, restart: one or more; logs, open, lines and details: exactly one; otherwise
    // none.
    QStringList names = {};
    // The client's working folder, against which relative paths among the names are taken.
    QString workingFolder = {};
    bool wait = true;       // start, stop, restart: answer once the project has settled
    bool confirmed = false; // stop, restart: go ahead with a server started elsewhere
    int lines = 100;        // logs: how many of the last lines
    bool follow = false;    // logs: keep sending new lines until the project stops
    bool explorer = false;  // open: the Local Explorer instead of the address
    // lines: only those after this line id (at most `lines` of them, oldest first), else the
    // last `lines`; only those containing `filter` (ignoring case); only errors and warnings.
    std::optional<qint64> after = std::nullopt;
    QString filter = {};
    bool problemsOnly = false;
    // start: first start, in their order, the registered projects whose Workers the project's
    // bindings need, each awaited until it runs and is registered ("withServices")
    bool withServices = false;
    // start, restart: the Wrangler environment to choose for each project before it runs (as
    // the project's Settings tab does); empty for the top level; none keeps each choice.
    std::optional<QString> environment = {};

    friend bool operator==(const ControlRequest&, const ControlRequest&) = default;
};

// Why a request was refused before anything was done.
struct RequestError
{
    QString message;
};

// Decodes one request line (without its line feed). Strict: wrong version, unknown command or
// field, wrong types and missing or extra names are errors with a message for the user.
std::variant<ControlRequest, RequestError> decodeRequest(QByteArrayView line);
// The request as one line, line feed included.
QByteArray encodeRequest(const ControlRequest& request);

// Answers. `kind` tells the client's exit code: "usage" (2) or "failed" (1).
namespace ControlAnswer {
QJsonObject success(QJsonObject fields = {});
QJsonObject usageError(const QString& message);
QJsonObject failure(const QString& message);
// One message as a line, with the version added.
QByteArray encode(QJsonObject message);
} // namespace ControlAnswer
