#pragma once

#include <QProcess>
#include <QStringList>

#include <csignal>
#include <sys/types.h>

// One process reported by the fixture program: "proc PID PPID NAME PORT...".
struct FixtureProcess
{
    qint32 pid = 0;
    qint32 ppid = 0;
    QString name;
    QList<int> ports;
};

// A tree of fixture processes (see external_fixture_process.cpp) started in a folder, in a
// process group of its own. The constructor returns once every process in the tree has
// reported; the destructor stops the tree and reaps it.
class FixtureTree
{
public:
    FixtureTree(const QString& folder, const QStringList& arguments)
    {
        const qsizetype expected = 1 + arguments.count(QStringLiteral("["));
        process_.setWorkingDirectory(folder);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral(EXTERNAL_FIXTURE_PROCESS),
                       QStringList{QStringLiteral("--group")} + arguments);
        if (!process_.waitForStarted(10000))
            return;
        while (processes_.size() < expected) {
            if (!process_.canReadLine() && !process_.waitForReadyRead(15000))
                return;
            while (process_.canReadLine()) {
                const QStringList parts =
                    QString::fromUtf8(process_.readLine().trimmed()).split(u' ');
                if (parts.size() < 4 || parts[0] != u"proc")
                    continue;
                FixtureProcess reported{parts[1].toInt(), parts[2].toInt(), parts[3], {}};
                for (qsizetype i = 4; i < parts.size(); ++i)
                    reported.ports.append(parts[i].toInt());
                processes_.append(reported);
            }
        }
        ready_ = true;
    }

    ~FixtureTree()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate(); // each process stops and reaps its own children first
        if (!process_.waitForFinished(10000)) {
            ::killpg(groupId(), SIGKILL);
            process_.waitForFinished(10000);
        }
    }

    FixtureTree(const FixtureTree&) = delete;
    FixtureTree& operator=(const FixtureTree&) = delete;

    bool ready() const { return ready_; }
    qint32 groupId() const { return qint32(process_.processId()); }
    const QList<FixtureProcess>& processes() const { return processes_; }

    // The index-th process with that name, in the order they reported.
    FixtureProcess named(const QString& name, int index = 0) const
    {
        for (const FixtureProcess& process : processes_) {
            if (process.name == name && index-- == 0)
                return process;
        }
        return {};
    }

    QList<qint32> pids() const
    {
        QList<qint32> result;
        for (const FixtureProcess& process : processes_)
            result.append(process.pid);
        std::sort(result.begin(), result.end());
        return result;
    }

private:
    QProcess process_;
    QList<FixtureProcess> processes_;
    bool ready_ = false;
};

// Arguments for a child process of the tree.
inline QStringList child(const QStringList& arguments)
{
    return QStringList{QStringLiteral("[")} + arguments + QStringList{QStringLiteral("]")};
}
