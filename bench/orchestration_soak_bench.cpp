// Soak of the start/stop orchestration: one project is started and stopped many times through
// the model, with the application's own stop timings, and afterwards no process of any group
// that the cycles created may be left. Its server is a shell script that prints a Wrangler-like
// banner and ready line and starts helpers that stay in its process group: one that quits on
// SIGTERM and shares the output pipes, two that ignore SIGTERM (one with a child of its own),
// and every tenth cycle one that ignores SIGTERM and keeps the output pipes open, as a stuck
// workerd would.
//
// Prints the cycles, the processes left behind (target 0), the slowest and the median stop
// (stopProject until the status is stopped) and the same for starts; exits with 1 when a
// process was left behind or a cycle went wrong. Usage: orchestration_soak_bench [cycles]
#include "model/app_model.h"
#include "runs/project_runtime.h"
#include "storage/running_record.h"
#include "supervision/external/proc_stat.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// The stand-in dev server. It counts its starts in a file of its working folder. The helpers
// that ignore SIGTERM are started while the script itself ignores it, so that they ignore it
// from the moment they exist; the ready line follows once the script takes SIGTERM again.
constexpr char serverScript[] = R"sh(#!/bin/sh
n=$(( $(cat cycle 2>/dev/null || echo 0) + 1 ))
echo "$n" > cycle
echo " ⛅️ wrangler 4.20.0 (soak cycle $n)"
echo "-------------------"
sleep 600 &
trap '' TERM
sleep 600 >/dev/null 2>&1 &
sh -c 'sleep 600 & exec sleep 600' >/dev/null 2>&1 &
if [ $((n % 10)) -eq 0 ]; then sleep 600 & fi
trap - TERM
echo "⎔ Starting local server..."
echo "[wrangler:info] Ready on http://localhost:18787"
wait
)sh";

// Runs the event loop until `done` holds or `timeoutMs` has passed; tells whether it holds.
bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    if (done())
        return true;
    const QDeadlineTimer deadline(timeoutMs);
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(2);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done() || deadline.hasExpired())
            loop.quit();
    });
    tick.start();
    loop.exec();
    return done();
}

struct ProcessEntry
{
    qint32 pid = 0;
    char state = 0;
    qint32 pgrp = 0;
    QByteArray name;
};

// Every process in /proc with its state and group; processes that vanish meanwhile are skipped.
QList<ProcessEntry> processTable()
{
    QList<ProcessEntry> entries;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& pid : pids) {
        bool numeric = false;
        const qint32 value = pid.toInt(&numeric);
        if (!numeric)
            continue;
        if (const std::optional<ProcStat> stat = readProcStat(value))
            entries.append({value, stat->state, stat->pgid, stat->name});
    }
    return entries;
}

// Living (not zombie, not dead) processes whose group is one of `groups`.
QList<ProcessEntry> leftBehind(const QSet<qint32>& groups)
{
    QList<ProcessEntry> found;
    for (const ProcessEntry& entry : processTable())
        if (groups.contains(entry.pgrp) && entry.state != 'Z' && entry.state != 'X')
            found.append(entry);
    return found;
}

int countEntries(const QString& folder)
{
    return int(
        QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size());
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double maximum(const std::vector<double>& values)
{
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int cycles = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 100;

    QTemporaryDir support;
    QTemporaryDir sites;
    if (!support.isValid() || !sites.isValid()) {
        std::fprintf(stderr, "cannot create temporary folders\n");
        return 2;
    }
    qputenv("TALLOWMERE_SUPPORT_DIR", support.path().toUtf8());
    const QString folder = sites.filePath(QStringLiteral("soak"));
    QDir().mkpath(folder);
    QFile config(folder + QStringLiteral("/wrangler.toml"));
    QFile script(folder + QStringLiteral("/server.sh"));
    if (!config.open(QIODevice::WriteOnly) || !script.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write the project\n");
        return 2;
    }
    config.write("name = \"soak\"\nmain = \"src/index.ts\"\n");
    config.close();
    script.write(serverScript);
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);

    // The application's own timings; no desktop: nothing here asks the user.
    AppModelContext context;
    context.environment = {{QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin")},
                           {QStringLiteral("HOME"), support.path()}};
    AppModel model(context);
    if (const std::optional<QString> refusal = model.addProject(folder)) {
        std::fprintf(stderr, "project refused: %s\n", qPrintable(*refusal));
        return 2;
    }
    const QString path = model.projects().constFirst().path;
    model.setRunModeOverride(path, RunModeKind::custom);
    model.setCustomCommand(path, script.fileName());
    // The inspection of the new project must not race the first start.
    waitFor([&] { return model.infoFor(path) != nullptr; }, 30000);

    ProjectRuntime* runtime = model.runtimeFor(path);
    const int fdsBefore = countEntries(QStringLiteral("/proc/self/fd"));
    const int threadsBefore = countEntries(QStringLiteral("/proc/self/task"));

    QElapsedTimer clock;
    clock.start();
    enum class Phase { idle, starting, stopping } phase = Phase::idle;
    qint64 phaseStartedNs = 0;
    std::vector<double> startMs;
    std::vector<double> stopMs;
    QStringList faults;
    // Times come from the status notifications, not from the polling of the waits.
    QObject::connect(runtime, &ProjectRuntime::statusChanged, runtime, [&] {
        const ProjectStatus::Kind kind = runtime->status().kind();
        const double elapsed = double(clock.nsecsElapsed() - phaseStartedNs) / 1e6;
        if (phase == Phase::starting && kind == ProjectStatus::Kind::running) {
            startMs.push_back(elapsed);
            phase = Phase::idle;
        } else if (phase == Phase::stopping && !runtime->status().isActive()) {
            stopMs.push_back(elapsed);
            phase = Phase::idle;
            if (kind != ProjectStatus::Kind::stopped)
                faults.append(QStringLiteral("stop ended in error: ") +
                              runtime->status().message());
        } else if (kind == ProjectStatus::Kind::error) {
            faults.append(QStringLiteral("error: ") + runtime->status().message());
        }
    });

    QSet<qint32> groups;
    int completed = 0;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        phase = Phase::starting;
        phaseStartedNs = clock.nsecsElapsed();
        model.startProject(path);
        // The pid arrives with the start result, which may follow the ready line.
        if (!waitFor(
                [&] {
                    return runtime->status().kind() == ProjectStatus::Kind::running &&
                           runtime->pid().has_value();
                },
                30000)) {
            faults.append(QStringLiteral("cycle %1: not running after 30 s").arg(cycle));
            break;
        }
        const qint32 leader = *runtime->pid();
        groups.insert(leader);

        phase = Phase::stopping;
        phaseStartedNs = clock.nsecsElapsed();
        model.stopProject(path);
        if (!waitFor([&] { return !runtime->status().isActive() && !runtime->managed(); }, 30000)) {
            faults.append(QStringLiteral("cycle %1: not stopped after 30 s").arg(cycle));
            break;
        }
        ++completed;
    }
    const double cyclesSeconds = double(clock.nsecsElapsed()) / 1e9;

    // The application's escalation ends 3 s after a leader's exit (SIGKILL to the leftovers of
    // its group) and at most 7 s after a stop request; give it that and a margin.
    const QList<ProcessEntry> atOnce = leftBehind(groups);
    QElapsedTimer settle;
    settle.start();
    waitFor([&] { return leftBehind(groups).isEmpty(); }, 10000);
    const double settleMs = double(settle.elapsed());
    const QList<ProcessEntry> remaining = leftBehind(groups);
    // The exit watchers end 3 s after their child; give the threads a moment beyond that.
    waitFor([&] { return countEntries(QStringLiteral("/proc/self/task")) <= threadsBefore; }, 5000);
    const int fdsAfter = countEntries(QStringLiteral("/proc/self/fd"));
    const int threadsAfter = countEntries(QStringLiteral("/proc/self/task"));

    int startLines = 0;
    int stopExits = 0;
    for (const LogLine& line : runtime->log()->lines()) {
        startLines += line.text.startsWith(QStringLiteral("▶ "));
        stopExits += line.text == RuntimeLog::processExited(143);
    }
    const int records = int(loadRunningRecords().size());
    if (records != 0)
        faults.append(QStringLiteral("%1 running record(s) left").arg(records));
    if (stopExits != completed)
        faults.append(
            QStringLiteral("%1 of %2 stops logged exit code 143").arg(stopExits).arg(completed));

    std::printf("orchestration soak: %d of %d start/stop cycles in %.1f s\n", completed, cycles,
                cyclesSeconds);
    std::printf("  processes left behind: %lld (target 0); %lld right after the last stop, "
                "checked for %.0f ms\n",
                static_cast<long long>(remaining.size()), static_cast<long long>(atOnce.size()),
                settleMs);
    for (const ProcessEntry& entry : remaining)
        std::printf("    pid %d group %d state %c %s\n", entry.pid, entry.pgrp, entry.state,
                    entry.name.constData());
    std::printf("  stop  (stopProject -> stopped): median %.1f ms, slowest %.1f ms\n",
                median(stopMs), maximum(stopMs));
    std::vector<double> ordinary;
    std::vector<double> holding;
    for (size_t i = 0; i < stopMs.size(); ++i)
        ((i + 1) % 10 == 0 ? holding : ordinary).push_back(stopMs[i]);
    std::printf("    without a helper on the output pipes: median %.1f ms, slowest %.1f ms\n",
                median(ordinary), maximum(ordinary));
    std::printf("    with a SIGTERM-ignoring helper on the output pipes (every 10th): median "
                "%.1f ms, slowest %.1f ms\n",
                median(holding), maximum(holding));
    std::printf("  start (startProject -> running): median %.1f ms, slowest %.1f ms\n",
                median(startMs), maximum(startMs));
    std::printf("  log: %d start lines, %d exits with code 143; running records left: %d\n",
                startLines, stopExits, records);
    std::printf("  open descriptors %d -> %d, threads %d -> %d\n", fdsBefore, fdsAfter,
                threadsBefore, threadsAfter);
    for (const QString& fault : std::as_const(faults))
        std::printf("  fault: %s\n", qPrintable(fault));
    std::fflush(stdout);
    return remaining.isEmpty() && faults.isEmpty() && completed == cycles ? 0 : 1;
}
