#pragma once

#include "control/control_protocol.h"
#include "control/mcp_message.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <functional>
#include <optional>

// One `tallowmere mcp` connection, serving both generations of the Model Context Protocol:
// the initialize handshake of the 2025 revisions, and the per-request `_meta` of 2026-07-28
// (with server/discover). Tool calls become requests to the running instance through `relay`.
class McpSession
{
public:
    // The instance's final answer to a request, or why there is none (no instance runs, it
    // closed the connection, ...), said so that an agent can act on it.
    struct RelayOutcome
    {
        std::optional<QJsonObject> answer;
        QString failure;
    };
    using Relay = std::function<RelayOutcome(const ControlRequest&)>;

    static const QStringList& legacyVersions(); // oldest first
    static const QStringList& modernVersions();

    McpSession(Relay relay, QString serverVersion, QString workingFolder);

    // The answer to one input line (without its line feed): one line, or nothing for a
    // notification.
    QByteArray handleLine(QByteArrayView line);
    // The answer to an input line longer than Mcp::maxMessageBytes, which is skipped unread.
    static QByteArray oversizeLine();

    // The version the initialize handshake settled on, if there was one.
    const std::optional<QString>& legacyVersion() const { return legacyVersion_; }

private:
    QByteArray handle(const Mcp::Request& request);
    QByteArray handleModern(const Mcp::Request& request, const QJsonObject& meta);
    QByteArray initialize(const Mcp::Request& request);
    QJsonObject callTool(const QJsonObject& params, bool structured, QByteArray* fault,
                         const QJsonValue& id);
    QJsonObject serverInfo() const;
    QString instructions() const;

    Relay relay_;
    QString serverVersion_;
    QString workingFolder_;
    std::optional<QString> legacyVersion_;
};
