#include "runs/output_handling.h"

#include "runs/output_parser.h"
#include "runs/project_runtime.h"

namespace {

bool isBlank(const QString& text)
{
    for (const QChar c : text) {
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t'))
            return false;
    }
    return true;
}

// Records what one logged line tells about the server.
void examineLine(ProjectRuntime& runtime, const QString& text, RunModeKind mode,
                 const OutputHooks& hooks)
{
    const OutputParser::LineClues clues = OutputParser::cluesIn(text);
    if (const std::optional<int> port =
            clues.portInUse ? OutputParser::portInUse(text) : std::nullopt) {
        const std::optional<PortOwner> owner =
            hooks.activeOwnerOfPort ? hooks.activeOwnerOfPort(*port) : std::nullopt;
        runtime.portBusy(PortConflict{*port,
                                      owner ? std::optional<QString>(owner->id) : std::nullopt,
                                      owner ? std::optional<QString>(owner->name) : std::nullopt});
    }

    if (const std::optional<OutputParser::RunningAt> running =
            clues.alreadyRunning ? OutputParser::alreadyRunningAt(text) : std::nullopt)
        runtime.alreadyRunning(running->url, running->pid);

    if (const std::optional<OutputParser::AttachField> field =
            clues.attachField ? OutputParser::attachField(text) : std::nullopt) {
        if (field->isMarker())
            runtime.announcementBegun();
        else if (const QUrl* url = field->url())
            runtime.announcedAddress(*url);
        else if (const qint32* pid = field->pid())
            runtime.announcedPID(*pid);
    }

    // Read only while it can matter: the patterns are the costly part of a busy server's output.
    if (runtime.url() || runtime.status().kind() != ProjectStatus::Kind::starting)
        return;
    if (const std::optional<QUrl> url = OutputParser::readyURL(text, mode)) {
        if (runtime.readyLine(*url) &&
            (mode == RunModeKind::wrangler || mode == RunModeKind::pages) && url->port() > 0 &&
            hooks.adoptPort)
            hooks.adoptPort(url->port());
    }
}

// The lines worth logging: blank ones are dropped.
OutputLines nonBlank(const OutputLines& lines)
{
    OutputLines kept;
    kept.reserve(lines.size());
    for (const OutputLine& line : lines)
        if (!isBlank(line.text))
            kept.append(line);
    return kept;
}

} // namespace

void handleOutputLines(ProjectRuntime& runtime, const OutputLines& lines, RunModeKind mode,
                       const OutputHooks& hooks)
{
    const OutputLines logged = nonBlank(lines);
    runtime.log()->append(logged);
    for (const OutputLine& line : logged) {
        examineLine(runtime, line.text, mode, hooks);
        runtime.activity()->outputLine(line.text, line.isError);
    }
}

void handleOutputLine(ProjectRuntime& runtime, const QString& text, bool isError, RunModeKind mode,
                      const OutputHooks& hooks)
{
    handleOutputLines(runtime, {OutputLine{text, isError}}, mode, hooks);
}

void logOutputLines(ProjectRuntime& runtime, const OutputLines& lines)
{
    runtime.log()->append(nonBlank(lines));
}

std::optional<PortOwner> findPortOwner(const QList<PortOwnerCandidate>& candidates,
                                       const QString& selfID, int port)
{
    for (const PortOwnerCandidate& candidate : candidates) {
        if (candidate.id == selfID || !candidate.runtime)
            continue;
        const ProjectRuntime& runtime = *candidate.runtime;
        if (runtime.status().isActive() && runtime.url() && runtime.url()->port() == port)
            return PortOwner{candidate.id, candidate.name};
    }
    return std::nullopt;
}
