#include "app/mcp_server.h"

#include "control/control_client.h"
#include "control/instance_lock.h"
#include "control/mcp_session.h"
#include "storage/storage.h"

#include <QDir>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <memory>
#include <unistd.h>

#ifndef TALLOWMERE_VERSION
#define TALLOWMERE_VERSION "0.0.0"
#endif

namespace {

// How long an answer may take: a start or stop waits up to two minutes for the server to
// settle; everything else is answered at once.
constexpr int settleTimeoutMs = 150 * 1000;
constexpr int answerTimeoutMs = 30 * 1000;

// Requests to the running instance over one connection, opened when first needed and opened
// again when the instance has closed it (it was restarted, say).
class InstanceRelay
{
public:
    McpSession::RelayOutcome operator()(const ControlRequest& request)
    {
        const QByteArray line = encodeRequest(request);
        if (!client_ || !client_->isIdle() || !client_->send(line)) {
            client_ = std::make_shared<ControlClient>();
            const QString supportFolder = supportDirectory();
            if (!client_->connectTo(InstanceAddress::forSupportFolder(supportFolder).socketPath)) {
                client_.reset();
                return {std::nullopt,
                        QStringLiteral("Tallowmere is not running for %1. Ask the user to start "
                                       "it: run `tallowmere` (or open Tallowmere from the "
                                       "applications menu), then try again.")
                            .arg(QDir::toNativeSeparators(supportFolder))};
            }
            if (!client_->send(line))
                return lost();
        }
        const bool settles = request.command == ControlCommand::start ||
                             request.command == ControlCommand::stop ||
                             request.command == ControlCommand::restart;
        std::optional<QJsonObject> answer;
        // Only the final message holds "ok"; `lines` and `details` send nothing before it.
        while ((answer = client_->receive(settles ? settleTimeoutMs : answerTimeoutMs)) &&
               !answer->contains(QStringLiteral("ok"))) {
        }
        if (!answer)
            return lost();
        return {answer, {}};
    }

private:
    McpSession::RelayOutcome lost()
    {
        client_.reset();
        return {std::nullopt,
                QStringLiteral("Tallowmere's running instance closed the connection or did not "
                               "answer in time; check that it still runs, then try again.")};
    }

    std::shared_ptr<ControlClient> client_; // shared: std::function copies its target
};

bool writeAll(const QByteArray& bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n =
            ::write(STDOUT_FILENO, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += n;
    }
    return true;
}

} // namespace

int runMcpServer(const QStringList& arguments)
{
    if (!arguments.isEmpty()) {
        std::fputs("tallowmere: mcp takes no arguments; an agent starts it as `tallowmere mcp` "
                   "and speaks the Model Context Protocol on its standard input and output\n",
                   stderr);
        return 2;
    }
    // A client that goes away makes writes fail with EPIPE instead of killing the server.
    std::signal(SIGPIPE, SIG_IGN);

    McpSession session(InstanceRelay(), QStringLiteral(TALLOWMERE_VERSION), QDir::currentPath());
    QByteArray buffer;
    bool skipping = false; // inside a line longer than the limit, until its end
    char chunk[65536];
    const auto answer = [&session](QByteArrayView line) {
        while (!line.isEmpty() &&
               (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            return true;
        const QByteArray reply = session.handleLine(line);
        return reply.isEmpty() || writeAll(reply);
    };
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        buffer.append(chunk, n);
        qsizetype start = 0;
        for (qsizetype end; (end = buffer.indexOf('\n', start)) >= 0; start = end + 1) {
            if (skipping) {
                skipping = false;
                continue;
            }
            if (end - start > Mcp::maxMessageBytes) {
                if (!writeAll(McpSession::oversizeLine()))
                    return 0;
                continue;
            }
            if (!answer(QByteArrayView(buffer).sliced(start, end - start)))
                return 0;
        }
        buffer.remove(0, start);
        if (buffer.size() > Mcp::maxMessageBytes) {
            if (!skipping && !writeAll(McpSession::oversizeLine()))
                return 0;
            skipping = true;
            buffer.clear();
        }
    }
    if (!skipping && !buffer.isEmpty())
        answer(buffer);
    return 0;
}
