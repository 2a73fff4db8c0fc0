#include "supervision/shell_environment.h"

#include "base/work_pools.h"
#include "supervision/bounded_capture.h"

#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QtConcurrent>

namespace ShellEnvironment {

namespace {

const QStringList& extraPathDirectories()
{
    static const QStringList directories{QStringLiteral("/opt/homebrew/bin"),
                                         QStringLiteral("/opt/homebrew/sbin"),
                                         QStringLiteral("/usr/local/bin"),
                                         QStringLiteral("/usr/bin"),
                                         QStringLiteral("/bin"),
                                         QStringLiteral("/usr/sbin"),
                                         QStringLiteral("/sbin")};
    return directories;
}

// Markers that make tools behave as if an AI coding agent ran them.
const QSet<QString>& agentVariableNames()
{
    static const QSet<QString> names{
        QStringLiteral("AI_AGENT"),     QStringLiteral("CLAUDECODE"),
        QStringLiteral("CURSOR_AGENT"), QStringLiteral("GEMINI_CLI"),
        QStringLiteral("OPENCODE"),     QStringLiteral("CODEX_SANDBOX")};
    return names;
}

const QStringList& agentVariablePrefixes()
{
    static const QStringList prefixes{
        QStringLiteral("CLAUDE_CODE"),    QStringLiteral("CLAUDE_AGENT"),
        QStringLiteral("CLAUDE_PID"),     QStringLiteral("CLAUDE_EFFORT"),
        QStringLiteral("CLAUDE_PREVIEW"), QStringLiteral("CODEX_")};
    return prefixes;
}

bool isAgentVariable(const QString& name)
{
    if (agentVariableNames().contains(name))
        return true;
    for (const QString& prefix : agentVariablePrefixes()) {
        if (name.startsWith(prefix))
            return true;
    }
    return false;
}

const QRegularExpression& variableLine()
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*="));
    return pattern;
}

QString blankTrimmed(const QString& text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (start < end && blank(text.at(start)))
        ++start;
    while (end > start && blank(text.at(end - 1)))
        --end;
    return text.sliced(start, end - start);
}

} // namespace

Environment processEnvironment()
{
    Environment environment;
    const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
    const QStringList keys = system.keys();
    for (const QString& key : keys)
        environment.insert(key, system.value(key));
    return environment;
}

Environment parseCapture(const QByteArray& output)
{
    const QString text = QString::fromUtf8(output);
    const qsizetype marker = text.indexOf(QLatin1String(beginMarker));
    if (marker < 0)
        return {};
    Environment environment;
    const QString listing = text.sliced(marker + qsizetype(sizeof beginMarker) - 1);
    const QStringList lines = listing.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0 || !variableLine().match(line).hasMatch())
            continue;
        environment.insert(line.left(equals), line.sliced(equals + 1));
    }
    return environment;
}

Environment environmentFromShell(const QString& shell, double timeoutSeconds)
{
    const std::optional<QByteArray> output = captureOutput(
        shell,
        {QStringLiteral("-lic"),
         QStringLiteral("echo ") + QLatin1String(beginMarker) + QStringLiteral("; env")},
        timeoutSeconds);
    if (!output)
        return fallbackEnvironment();
    Environment environment = parseCapture(*output);
    return environment.isEmpty() ? fallbackEnvironment() : environment;
}

QString loginShell(const Environment& environment)
{
    const auto shell = environment.constFind(QStringLiteral("SHELL"));
    return shell == environment.cend() ? QStringLiteral("/bin/zsh") : shell.value();
}

QFuture<Environment> resolve(double timeoutSeconds)
{
    return resolve(loginShell(processEnvironment()), timeoutSeconds);
}

QFuture<Environment> resolve(const QString& shell, double timeoutSeconds)
{
    // The capture mostly waits for the shell: it must not hold a thread of the short work.
    return QtConcurrent::run(WorkPools::waiting(), [shell, timeoutSeconds] {
        return environmentFromShell(shell, timeoutSeconds);
    });
}

Environment completedPath(Environment base)
{
    QStringList components =
        base.value(QStringLiteral("PATH")).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& directory : extraPathDirectories()) {
        if (!components.contains(directory))
            components.append(directory);
    }
    base.insert(QStringLiteral("PATH"), components.join(QLatin1Char(':')));
    return base;
}

Environment fallbackEnvironment()
{
    return completedPath(processEnvironment());
}

Environment childEnvironment(const Environment& base, const QString& nodePath)
{
    Environment environment = base;
    const QString trimmed = blankTrimmed(nodePath);
    if (!trimmed.isEmpty()) {
        const QFileInfo info(trimmed);
        const QString folder = info.isDir() ? trimmed : info.path();
        environment.insert(QStringLiteral("PATH"),
                           folder + QLatin1Char(':') + base.value(QStringLiteral("PATH")));
    }
    for (auto it = environment.begin(); it != environment.end();) {
        if (isAgentVariable(it.key()))
            it = environment.erase(it);
        else
            ++it;
    }
    environment.insert(QStringLiteral("NO_COLOR"), QStringLiteral("1"));
    environment.insert(QStringLiteral("FORCE_COLOR"), QStringLiteral("0"));
    environment.insert(QStringLiteral("TERM"), QStringLiteral("dumb"));
    return environment;
}

} // namespace ShellEnvironment
