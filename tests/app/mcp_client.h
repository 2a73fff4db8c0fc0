#pragma once

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

// `tallowmere mcp` run over pipes, spoken to one JSON-RPC line at a time.
class McpPipe
{
public:
    McpPipe(const QString& executable, const QProcessEnvironment& environment,
            const QString& workingFolder)
    {
        process_.setProcessEnvironment(environment);
        process_.setWorkingDirectory(workingFolder);
        process_.start(executable, {QStringLiteral("mcp")});
        EXPECT_TRUE(process_.waitForStarted(10000));
    }
    ~McpPipe()
    {
        process_.kill();
        process_.waitForFinished(10000);
    }

    QProcess& process() { return process_; }

    void sendLine(const QByteArray& line) { process_.write(line + '\n'); }
    void send(const QJsonObject& message)
    {
        sendLine(QJsonDocument(message).toJson(QJsonDocument::Compact));
    }

    // The next line of standard output as a JSON object; empty when none came in time or the
    // line was not an object (then `raw` keeps it).
    QJsonObject receive(int timeoutMs = 20000)
    {
        QElapsedTimer timer;
        timer.start();
        while (!process_.canReadLine() && timer.elapsed() < timeoutMs)
            process_.waitForReadyRead(qMax<qint64>(1, timeoutMs - timer.elapsed()));
        if (!process_.canReadLine())
            return {};
        raw = process_.readLine();
        return QJsonDocument::fromJson(raw).object();
    }

    // A request and its answer.
    QJsonObject call(const QString& method, const QJsonObject& params, int id,
                     int timeoutMs = 20000)
    {
        QJsonObject request{{QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
                            {QStringLiteral("id"), id},
                            {QStringLiteral("method"), method}};
        if (!params.isEmpty())
            request.insert(QStringLiteral("params"), params);
        send(request);
        const QJsonObject answer = receive(timeoutMs);
        EXPECT_EQ(answer.value(QStringLiteral("id")), QJsonValue(id)) << raw.constData();
        return answer;
    }

    // A tools/call's result (the error object instead for a protocol fault).
    QJsonObject tool(const QString& name, const QJsonObject& arguments = {}, int timeoutMs = 20000)
    {
        const QJsonObject answer =
            call(QStringLiteral("tools/call"),
                 {{QStringLiteral("name"), name}, {QStringLiteral("arguments"), arguments}},
                 ++nextID_, timeoutMs);
        return answer.contains(QStringLiteral("error"))
                   ? answer.value(QStringLiteral("error")).toObject()
                   : answer.value(QStringLiteral("result")).toObject();
    }

    QByteArray raw;

private:
    QProcess process_;
    int nextID_ = 1000;
};

// The text of a tool result's first content block.
inline QString resultText(const QJsonObject& result)
{
    return result.value(QStringLiteral("content"))
        .toArray()
        .at(0)
        .toObject()
        .value(QStringLiteral("text"))
        .toString();
}
