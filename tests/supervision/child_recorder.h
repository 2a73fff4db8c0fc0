#pragma once

#include "supervision/child_callbacks.h"
#include "supervision/process_manager.h"

#include <QObject>
#include <QStringList>
#include <QTest>

#include <optional>

// Records what a child delivers; also the context object its callbacks run on.
class ChildRecorder : public QObject
{
public:
    QStringList out;
    QStringList err;
    QStringList both; // in delivery order, prefixed "1:" or "2:"
    int batches = 0;
    std::optional<int> code;
    bool stopRequested = false;
    int linesAtExit = -1;
    int exits = 0;

    ChildCallbacks callbacks()
    {
        return ChildCallbacks{
            [this](const OutputLines& lines) {
                ++batches;
                for (const OutputLine& line : lines) {
                    (line.isError ? err : out).append(line.text);
                    both.append((line.isError ? QStringLiteral("2:") : QStringLiteral("1:")) +
                                line.text);
                }
            },
            [this](int exitCode, bool requested) {
                code = exitCode;
                stopRequested = requested;
                linesAtExit = int(both.size());
                ++exits;
            }};
    }

    bool waitForExit(int ms = 30000)
    {
        return QTest::qWaitFor([this] { return code.has_value(); }, ms);
    }
};

// The pid of a successful start, or -1.
inline qint32 startedPid(QFuture<StartResult> future)
{
    future.waitForFinished();
    const StartResult result = future.result();
    return result.pid.value_or(-1);
}
